// The business's own picture on the real office: chosen, generated, saved and
// read back; the standard picture after the reset.

#include "base/shutdown.h"
#include "findchild.h"
#include "generate/flyerstyle.h"
#include "generate/tearoffcode.h"
#include "generate/word.h"
#include "mainwindow/flyerpicture.h"
#include "mainwindow/form1.h"
#include "office/documentfacts.h"
#include "officefixture.h"
#include "officeprocesses.h"
#include "pdffacts.h"
#include "preview/form2.h"
#include "preview/picturebox.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QAction>
#include <QFile>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <memory>

namespace {

// The picture box of the template, in twips from the page's corner.
const QRect kBox(4867, 10627, 2563, 1066);

QList<OfficeShapeFacts> pictures(const OfficeDocumentFacts& facts)
{
    QList<OfficeShapeFacts> found;
    for (const auto& shape : facts.shapes)
        if (shape.kind == OfficeShapeFacts::Kind::Picture)
            found << shape;
    return found;
}

QRect placeOf(const OfficeShapeFacts& shape)
{
    return QRect(shape.left, shape.top, shape.width, shape.height);
}

// Equal to a pixel at 96 dpi (the office rounds lengths on the way to a file).
bool near(const QRect& actual, const QRect& expected)
{
    return std::abs(actual.x() - expected.x()) <= 15 && std::abs(actual.y() - expected.y()) <= 15 &&
           std::abs(actual.width() - expected.width()) <= 15 &&
           std::abs(actual.height() - expected.height()) <= 15;
}

QByteArray text(const QRect& rect)
{
    return QStringLiteral("%1,%2 %3x%4")
        .arg(rect.x())
        .arg(rect.y())
        .arg(rect.width())
        .arg(rect.height())
        .toUtf8();
}

// Clicks "Start Creating Template", saves the result through the preview
// (and as `pdf` too, when given) and goes back; returns the saved document's path.
QString generateAndSave(Form1& form, ScriptedDialogs& dialogs, const QString& saved,
                        const QString& pdf = {})
{
    QTest::mouseClick(child<QPushButton>(&form, "PushButton6"), Qt::LeftButton);
    Form2* preview = form.previewWindow();
    if (!preview || !QTest::qWaitFor([&] { return preview->isVisible(); }, 60000))
        return QString();
    dialogs.answerSaveFiles({saved});
    QTest::mouseClick(child<QPushButton>(preview, "PushButton6"), Qt::LeftButton);
    if (!pdf.isEmpty()) {
        dialogs.answerSaveFiles({pdf});
        // Not now to the offer to open the PDF.
        dialogs.answerQuestions({Dialogs::Answer::No});
        child<QAction>(preview, "SavePdfAction")->trigger();
    }
    QTest::mouseClick(child<QPushButton>(preview, "PushButton8"), Qt::LeftButton);
    return saved;
}

// The pixels of the page picture that `place` (twips from the page's
// corner) covers.
QRect inPage(const QImage& page, const QRect& place)
{
    const double scale = page.width() / (8.5 * 1440);
    return QRect(int(place.x() * scale), int(place.y() * scale), int(place.width() * scale),
                 int(place.height() * scale));
}

// The pixels of the page picture inside the picture box that are `like`.
template <typename Like> int inBox(const QImage& page, Like like)
{
    const QRect box = inPage(page, kBox);
    int found = 0;
    for (int y = box.top(); y <= box.bottom(); ++y)
        for (int x = box.left(); x <= box.right(); ++x)
            found += like(QColor(page.pixel(x, y))) ? 1 : 0;
    return found;
}

// The hue most of the page's clearly coloured pixels have, in steps of 10
// degrees; -1 when no pixel is coloured. `coloured` counts those pixels.
int dominantHue(const QImage& page, int& coloured)
{
    std::array<int, 36> hues{};
    coloured = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c(page.pixel(x, y));
            if (c.hslSaturation() < 80 || c.lightness() < 30 || c.lightness() > 220)
                continue;
            ++coloured;
            ++hues.at(std::size_t(c.hslHue() / 10));
        }
    const auto top = std::max_element(hues.begin(), hues.end());
    return *top == 0 ? -1 : int(top - hues.begin()) * 10 + 5;
}

// How far the page picture differs from `picture` within `place` (twips
// from the page's corner): the mean difference of their grey levels, each
// brought down to a third of the pixels the page has there, where the page
// is moved by up to two pixels each way for the rounding of the place.
int differenceInPage(const QImage& page, const QRect& place, const QImage& picture)
{
    const QRect pixels = inPage(page, place);
    auto coarse = [&](const QImage& image) {
        return image.convertToFormat(QImage::Format_RGB32)
            .scaled(pixels.size() / 3, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    const QImage expected = coarse(picture);
    int least = 255;
    for (int dy = -2; dy <= 2; ++dy)
        for (int dx = -2; dx <= 2; ++dx) {
            const QImage shown = coarse(page.copy(pixels.translated(dx, dy)));
            qint64 sum = 0;
            for (int y = 0; y < shown.height(); ++y)
                for (int x = 0; x < shown.width(); ++x)
                    sum += std::abs(qGray(shown.pixel(x, y)) - qGray(expected.pixel(x, y)));
            least = std::min(least, int(sum / std::max(1, shown.width() * shown.height())));
        }
    return least;
}

// The page's left margin, where only the background lies: white without one.
bool marginIsWhite(const QImage& page)
{
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width() * 0.8 / 8.5; ++x)
            if (page.pixel(x, y) != qRgb(255, 255, 255))
                return false;
    return true;
}

// The texts of the QR codes zbarimg reads on a 300 dpi render of `pdf`, one
// per code.
QStringList codesIn(const QString& pdf)
{
    const QString prefix = pdf + QStringLiteral("-page");
    QProcess render;
    render.start(QStringLiteral("pdftoppm"),
                 {QStringLiteral("-r"), QStringLiteral("300"), QStringLiteral("-png"),
                  QStringLiteral("-singlefile"), pdf, prefix});
    render.waitForFinished(120000);
    QProcess zbar;
    zbar.start(QStringLiteral("zbarimg"),
               {QStringLiteral("--raw"), QStringLiteral("-q"), prefix + QStringLiteral(".png")});
    zbar.waitForFinished(120000);
    QFile::remove(prefix + QStringLiteral(".png"));
    QStringList codes = QString::fromUtf8(zbar.readAllStandardOutput()).split(QLatin1Char('\n'));
    codes.removeAll(QString());
    return codes;
}

// The saved document as the office reads it back, printed to a PDF.
QString documentAsPdf(const QString& document)
{
    const QString pdf = document + QStringLiteral(".pdf");
    auto word = Word::CreateApplication();
    auto opened = word->documents().open(document, true);
    opened->exportAsFixedFormat(pdf, Word::Document::wdExportFormatPDF);
    opened->close(Word::Document::wdDoNotSaveChanges);
    word->quit();
    return pdf;
}

} // namespace

class TestOfficePicture : public OfficeFixture
{
    Q_OBJECT

private Q_SLOTS:
    void chosenPicture_embeddedFittedInSavedDocument_standardAfterReset();
    void style_sampleFlyer_pageTakesTheStyleHue_data();
    void style_sampleFlyer_pageTakesTheStyleHue();
    void tearOffCode_readEightTimesFromDocumentAndPdf_noneWhenEmpty();

private:
    void startTestCase() override;
    void endTestCase() override;

    OfficeShapeFacts m_standard;
};

void TestOfficePicture::startTestCase()
{
    Shutdown::resetForTesting();
    Shutdown::setHandlerForTesting([](int) {});
    const QString templatePath = writeEmbeddedTemplate();
    const QList<OfficeShapeFacts> standard = pictures(readBack(templatePath));
    QFile::remove(templatePath);
    QCOMPARE(standard.size(), 1);
    m_standard = standard.first();
}

void TestOfficePicture::endTestCase()
{
    Shutdown::resetForTesting();
}

void TestOfficePicture::chosenPicture_embeddedFittedInSavedDocument_standardAfterReset()
{
    // A logo three times as wide as high: a red band on a transparent ground.
    const QString logo = m_environment->root() + QStringLiteral("/logo.png");
    {
        QImage image(1500, 500, QImage::Format_ARGB32);
        image.fill(Qt::transparent);
        QPainter painter(&image);
        painter.fillRect(QRect(0, 150, 1500, 200), Qt::red);
        painter.end();
        QVERIFY(image.save(logo));
    }
    ScriptedDialogs dialogs;
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(child<QPushButton>(&form, "PushButton4"), Qt::LeftButton);
    FlyerPicture::choose(logo);
    QVERIFY(QFile::remove(logo)); // the kept copy serves from now on

    const QString saved =
        generateAndSave(form, dialogs, m_environment->root() + QStringLiteral("/own.doc"));
    QVERIFY(!saved.isEmpty());
    QCOMPARE(dialogs.errors(), QStringList());
    // The preview shows the red band in the box, on the page's own ground.
    const QImage page =
        form.previewWindow()->findChild<PictureBox*>(QStringLiteral("Zoom_Ori"))->picture();
    const int red = inBox(
        page, [](const QColor& c) { return c.red() > 200 && c.green() < 80 && c.blue() < 80; });
    const int dark = inBox(page, [](const QColor& c) { return c.lightness() < 60; });
    QVERIFY2(red > 200 && dark == 0,
             qPrintable(QStringLiteral("%1 red, %2 dark").arg(red).arg(dark)));
    // Smaller than the photo it could have been: the picture is kept at 300 dpi.
    QVERIFY2(QFileInfo(saved).size() < 400 * 1024,
             qPrintable(QString::number(QFileInfo(saved).size())));

    const QList<OfficeShapeFacts> own = pictures(readBack(saved));
    QCOMPARE(own.size(), 1);
    const OfficeShapeFacts& shape = own.first();
    QCOMPARE(shape.picture.pixels, QSize(534, 178));
    QVERIFY(!shape.picture.linked);
    QVERIFY(shape.picture.alpha);
    // The box's full width, a third of it high, centred from top to bottom.
    const QRect expected(kBox.x(), kBox.y() + (kBox.height() - kBox.width() / 3) / 2, kBox.width(),
                         kBox.width() / 3);
    QVERIFY2(near(placeOf(shape), expected), text(placeOf(shape)).constData());

    // The reset brings back the template's own picture.
    QTest::mouseClick(child<QPushButton>(&form, "PushButton3"), Qt::LeftButton);
    const QString standard =
        generateAndSave(form, dialogs, m_environment->root() + QStringLiteral("/standard.doc"));
    const QList<OfficeShapeFacts> after = pictures(readBack(standard));
    QCOMPARE(after.size(), 1);
    QCOMPARE(after.first().picture.pixels, m_standard.picture.pixels);
    QVERIFY2(near(placeOf(after.first()), placeOf(m_standard)),
             text(placeOf(after.first())).constData());
    QCOMPARE(dialogs.errors(), QStringList());
}

void TestOfficePicture::style_sampleFlyer_pageTakesTheStyleHue_data()
{
    QTest::addColumn<int>("style");
    for (int i = 0; i < FlyerStyle::kStyleCount; ++i)
        QTest::newRow(FlyerStyle::look(FlyerStyle::Style(i)).key) << i;
}

void TestOfficePicture::style_sampleFlyer_pageTakesTheStyleHue()
{
    QFETCH(int, style);
    const FlyerStyle::Look& look = FlyerStyle::look(FlyerStyle::Style(style));
    ScriptedDialogs dialogs;
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(child<QPushButton>(&form, "PushButton4"), Qt::LeftButton);
    FlyerStyle::store(look.style);
    const QString saved =
        generateAndSave(form, dialogs, m_environment->root() + QStringLiteral("/styled.doc"));
    QVERIFY2(dialogs.errors().isEmpty(), qPrintable(dialogs.errors().join(QLatin1Char('\n'))));
    QVERIFY(!saved.isEmpty());
    const QImage page =
        form.previewWindow()->findChild<PictureBox*>(QStringLiteral("Zoom_Ori"))->picture();
    // Made again from the pictures the first run kept: the same page (one
    // style is enough, they are kept alike).
    if (look.style == FlyerStyle::Style::Ocean)
        QVERIFY(QFile::remove(
            generateAndSave(form, dialogs, m_environment->root() + QStringLiteral("/again.doc"))));
    QVERIFY(form.previewWindow()->findChild<PictureBox*>(QStringLiteral("Zoom_Ori"))->picture() ==
            page);
    int coloured = 0;
    const int hue = dominantHue(page, coloured);
    QVERIFY(QFile::remove(saved));
    if (look.printFriendly) {
        QCOMPARE(coloured, 0);
        QVERIFY(marginIsWhite(page));
        return;
    }
    const int expected = QColor(QRgb(0xff000000 | look.colors[0])).hslHue();
    const int distance = std::abs(hue - expected) % 360;
    QVERIFY2(std::min(distance, 360 - distance) <= 30,
             qPrintable(QStringLiteral("hue %1 of %2 pixels").arg(hue).arg(coloured)));
    QVERIFY(!marginIsWhite(page));
}

void TestOfficePicture::tearOffCode_readEightTimesFromDocumentAndPdf_noneWhenEmpty()
{
    const QString code = QStringLiteral("https://corvanti.example/book?from=tab");
    ScriptedDialogs dialogs;
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(child<QPushButton>(&form, "PushButton4"), Qt::LeftButton);
    TearOffCode::store(code);
    const QString root = m_environment->root();
    const QString saved = generateAndSave(form, dialogs, root + QStringLiteral("/codes.doc"),
                                          root + QStringLiteral("/codes.pdf"));
    QVERIFY(!saved.isEmpty());
    QCOMPARE(dialogs.errors(), QStringList());
    QCOMPARE(codesIn(root + QStringLiteral("/codes.pdf")), QStringList(8, code));
    QCOMPARE(codesIn(documentAsPdf(saved)), QStringList(8, code));
    const QImage made = TearOffCode::picture(code, TearOffCode::kTabWidthPoints);
    // The preview shows each code where the document has it.
    const QImage page =
        form.previewWindow()->findChild<PictureBox*>(QStringLiteral("Zoom_Ori"))->picture();
    int compared = 0;
    for (const OfficeShapeFacts& picture : pictures(readBack(saved))) {
        if (picture.picture.pixels != made.size())
            continue;
        const int difference = differenceInPage(page, placeOf(picture), made);
        QVERIFY2(difference <= 15, qPrintable(QString::number(difference)));
        ++compared;
    }
    QCOMPARE(compared, 8);
    // The PDF keeps the codes as they were made, pixel for pixel (x and y
    // dots per inch listed before the size, off by one for the rounding of
    // the printed size): brought down to 300 dpi they would be greyed.
    const int dotsPerInch = qRound(made.dotsPerMeterX() * 0.0254);
    QProcess images;
    images.start(QStringLiteral("pdfimages"),
                 {QStringLiteral("-list"), root + QStringLiteral("/codes.pdf")});
    QVERIFY(images.waitForFinished(30000));
    const QString listed = QString::fromUtf8(images.readAllStandardOutput());
    const auto codeImages =
        QRegularExpression(QStringLiteral(" %1 +%2 .* (\\d+) +(\\d+) +\\S+ +\\S+$")
                               .arg(made.width())
                               .arg(made.height()),
                           QRegularExpression::MultilineOption)
            .globalMatch(listed);
    int kept = 0;
    for (const auto& image : codeImages)
        kept += std::abs(image.captured(1).toInt() - dotsPerInch) <= 1 &&
                std::abs(image.captured(2).toInt() - dotsPerInch) <= 1;
    QVERIFY2(kept == 8, qPrintable(listed));
    // The sample's e-mail, on a line the code narrowed, breaks before its
    // "@" and reads whole (the break opportunity prints as nothing).
    const QString tabText = readPdf(root + QStringLiteral("/codes.pdf")).text;
    QCOMPARE(tabText.count(QStringLiteral("tobin.marsh\n@example.com")), 8);
    // The e-mail made smaller beside the code is named as such, although the
    // document holds it with its break opportunities.
    QStringList notices;
    for (const auto& shown : dialogs.shown())
        notices << shown.text;
    QVERIFY2(notices.join(u'\n').contains(QStringLiteral("the e-mail on the tear-off tabs")),
             qPrintable(notices.join(u'\n')));

    // Another code on the next flyer is that code, not the last one.
    const QString other = QStringLiteral("tel:+13675550100");
    TearOffCode::store(other);
    QVERIFY(!generateAndSave(form, dialogs, root + QStringLiteral("/other.doc"),
                             root + QStringLiteral("/other.pdf"))
                 .isEmpty());
    QCOMPARE(codesIn(root + QStringLiteral("/other.pdf")), QStringList(8, other));

    // Without a code the tabs are as the template has them.
    QTest::mouseClick(child<QPushButton>(&form, "PushButton3"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(&form, "PushButton4"), Qt::LeftButton);
    const QString plain = generateAndSave(form, dialogs, root + QStringLiteral("/plain.doc"));
    QCOMPARE(pictures(readBack(plain)).size(), 1);
    QCOMPARE(codesIn(documentAsPdf(plain)), QStringList());
    QCOMPARE(dialogs.errors(), QStringList());
}

QTEST_MAIN(TestOfficePicture)
#include "tst_office_picture.moc"
