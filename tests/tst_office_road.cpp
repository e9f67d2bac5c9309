// The main road on the real office, driven as a user drives it: sample data,
// "Start Creating Template", the preview, saving the result, "< Back", a second
// run, closing. Checks what the user ends up with (the saved document read
// back through the office, the page picture) and what must not stay behind
// (temporary files, office processes, error boxes).

#include "base/appinfo.h"
#include "base/mainmodule.h"
#include "base/shutdown.h"
#include "findchild.h"
#include "generate/word.h"
#include "mainwindow/form1.h"
#include "office/documentfacts.h"
#include "office/officeengine.h"
#include "officefixture.h"
#include "officeprocesses.h"
#include "preview/form2.h"
#include "preview/picturebox.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QClipboard>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMimeData>
#include <QMouseEvent>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <memory>

namespace {

const QString kBullet = QStringLiteral("\u2022   ");

// The files a run may leave in the temporary folder while a preview is shown,
// and any the office might add next to a document it has open.
QStringList runFiles()
{
    return QDir(Main::tempFolder())
        .entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

int count(const OfficeDocumentFacts& facts, const QString& text)
{
    int found = 0;
    for (const auto& shape : facts.shapes)
        found += shape.text.count(text);
    return found;
}

QString allText(const OfficeDocumentFacts& facts)
{
    QString text = facts.bodyText;
    for (const QString& story : facts.storyTexts)
        text += QLatin1Char('\n') + story;
    for (const auto& shape : facts.shapes)
        text += QLatin1Char('\n') + shape.text;
    return text;
}

// Pixels dark enough to be print on the page.
int inkPixels(const QImage& picture)
{
    int ink = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            ink += qGray(picture.pixel(x, y)) < 128 ? 1 : 0;
    return ink;
}

} // namespace

class TestOfficeRoad : public OfficeFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void sample_generateSaveBackAgainClose_wholeRoad();
    void emptyData_generate_noTokenRemains();

private:
    void startTestCase() override;
    void endTestCase() override;
    void checkLeftovers() override;

    // Clicks "Start Creating Template" and waits for the preview; prints how
    // long the user waited.
    Form2* generate(Form1& form, const char* what);

    QList<int> m_endings;
};

void TestOfficeRoad::startTestCase()
{
    QElapsedTimer clock;
    clock.start();
    m_engine->prepare();
    Word::CreateApplication()->quit();
    qInfo("office start: %lld ms", clock.elapsed());
}

void TestOfficeRoad::endTestCase()
{
    // The office is still there while the engine is (so the check can see
    // one), and goes with it.
    QVERIFY(!processesMentioning(m_cache).isEmpty());
}

void TestOfficeRoad::checkLeftovers()
{
    // Nor does anything of the office stay in the temporary folders: the
    // private one is empty, and the system's holds only that and Qt's own
    // runtime folder.
    const QStringList privateLeft =
        QDir(Main::tempFolder())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    QStringList systemLeft =
        QDir(m_environment->systemTemp())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    systemLeft.removeIf([](const QString& name) {
        return name == QFileInfo(QFileInfo(Main::tempFolder()).absolutePath()).fileName() ||
               name.startsWith(QLatin1String("runtime-"));
    });
    QCOMPARE(privateLeft, QStringList());
    QCOMPARE(systemLeft, QStringList());
}

void TestOfficeRoad::init()
{
    m_endings.clear();
    Shutdown::resetForTesting();
    Shutdown::setHandlerForTesting([this](int code) { m_endings << code; });
}

void TestOfficeRoad::cleanup()
{
    Shutdown::resetForTesting();
    // Whatever a failed check left behind must not meet the next test.
    for (const QString& name : runFiles())
        QFile::remove(Main::tempFolder() + QLatin1Char('/') + name);
}

Form2* TestOfficeRoad::generate(Form1& form, const char* what)
{
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(child<QPushButton>(&form, "PushButton6"), Qt::LeftButton);
    Form2* preview = form.previewWindow();
    if (preview)
        (void)QTest::qWaitFor([&] { return preview->isVisible(); }, 60000);
    qInfo("%s: click to preview %lld ms", what, clock.elapsed());
    return preview;
}

void TestOfficeRoad::sample_generateSaveBackAgainClose_wholeRoad()
{
    ScriptedDialogs dialogs;
    Form1 form;
    QVERIFY(m_endings.isEmpty());
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QTest::mouseClick(child<QPushButton>(&form, "PushButton4"), Qt::LeftButton);
    QCOMPARE(form.Text1(0)->text(), QStringLiteral("Corvanti"));

    Form2* preview = generate(form, "first run");
    QVERIFY(preview);
    QVERIFY(preview->isVisible());
    QVERIFY(!form.isVisible());
    QCOMPARE(dialogs.errors(), QStringList());
    QCOMPARE(form.mousePointer().setting(), WindowPointer::Default);

    // The page at zoom 1.0 fits the largest picture the zoom allows, and is
    // a page, not a sliver or a blank.
    QCOMPARE(preview->zoom(), 1.0f);
    const QSize base = preview->baseSize();
    QVERIFY2(base.width() <= 9499 && base.height() <= 13399,
             qPrintable(QStringLiteral("%1 x %2").arg(base.width()).arg(base.height())));
    QVERIFY(base.width() >= 9000);
    QCOMPARE(qRound(base.height() * 8.5 / base.width()), 11);
    auto* original = preview->findChild<PictureBox*>(QStringLiteral("Zoom_Ori"));
    QVERIFY(original);
    const QImage firstPage = original->picture();
    QVERIFY(!firstPage.isNull());
    QVERIFY(inkPixels(firstPage) > 2000);
    // What the user sees: the page drawn on the surface at zoom 1.0.
    auto* surface = preview->findChild<PictureBox*>(QStringLiteral("Picture1"));
    QVERIFY(surface);
    const QImage firstView = surface->drawing();
    QVERIFY(inkPixels(firstView) > 2000);

    // While the preview is shown only its document is in the temporary folder.
    const QString document = preview->wordFile();
    QVERIFY(QFileInfo(document).fileName().contains(
        QRegularExpression(QStringLiteral("^qorvin[1-9]{8}\\.doc$"))));
    QCOMPARE(runFiles(), QStringList{QFileInfo(document).fileName()});

    // Save Results To Word File, through the save dialog.
    const QString saved = m_environment->root() + QStringLiteral("/My flyer.doc");
    dialogs.answerSaveFiles({saved});
    QTest::mouseClick(child<QPushButton>(preview, "PushButton6"), Qt::LeftButton);
    QCOMPARE(dialogs.messages(), QStringList{QStringLiteral("Done.")});
    QCOMPARE(fileBytes(saved), fileBytes(document));

    {
        const OfficeDocumentFacts facts = readBack(saved);
        QCOMPARE(facts.pageCount, 1);
        QCOMPARE(count(facts, QStringLiteral("Corvanti")), 1);
        QCOMPARE(count(facts, QStringLiteral("We have your landscape needs covered.")), 1);
        QCOMPARE(count(facts, QStringLiteral("Tobin Marsh")), 8);
        QCOMPARE(count(facts, QStringLiteral("tobin.marsh@example.com")), 8);
        QVERIFY(allText(facts).contains(QStringLiteral("Boise, ID 91002")));
        QCOMPARE(
            facts.shapes.at(1).paragraphs.mid(0, 3),
            QStringList({kBullet + QStringLiteral("Mowing"), kBullet + QStringLiteral("Edging"),
                         kBullet + QStringLiteral("Weeding Planted Areas")}));
        QCOMPARE(facts.shapes.at(1).paragraphs.size(), 11); // ten lines and the last CR
        QCOMPARE(facts.shapes.at(2).paragraphs.first(), kBullet + QStringLiteral("Mulching"));
        QCOMPARE(facts.shapes.at(5).text,
                 QStringLiteral("Weekly Lawn Cutting  \u2022  Bi-Weekly Weeding and Cutting  "
                                "\u2022  Bi-Monthly Planting  and Pruning"));
        QVERIFY2(!allText(facts).contains(QLatin1Char('[')), qPrintable(allText(facts)));
    }
    dialogs.clear();

    // Back: the document goes, nothing of the run stays.
    QTest::mouseClick(child<QPushButton>(preview, "PushButton8"), Qt::LeftButton);
    QVERIFY(form.isVisible());
    QVERIFY(!preview->isVisible());
    QCOMPARE(runFiles(), QStringList());
    QVERIFY(QFile::exists(saved));

    // A second run after Back shows the new data, at zoom 1.0 again.
    form.Text1(0)->setText(QStringLiteral("Halvard Gardens"));
    form.Text1(10)->setText(QStringLiteral("Wren Ashdown"));
    QVERIFY(generate(form, "second run") == preview);
    QCOMPARE(dialogs.errors(), QStringList());
    QCOMPARE(preview->zoom(), 1.0f);
    QVERIFY(preview->wordFile() != document);
    QVERIFY(original->picture() != firstPage);
    QVERIFY(surface->drawing() != firstView);
    {
        const OfficeDocumentFacts facts = readBack(preview->wordFile());
        QCOMPARE(count(facts, QStringLiteral("Halvard Gardens")), 1);
        QCOMPARE(count(facts, QStringLiteral("Corvanti")), 0);
        QCOMPARE(count(facts, QStringLiteral("Wren Ashdown")), 8);
    }
    QCOMPARE(runFiles(), QStringList{QFileInfo(preview->wordFile()).fileName()});

    // Zooming out and in again redraws the new page from its base copy.
    QTest::mouseClick(child<QPushButton>(preview, "PushButton2"), Qt::LeftButton);
    QCOMPARE(preview->zoom(), 0.75f);
    QCOMPARE(preview->zoomedSize().width(), int(base.width() * 0.75));

    // Closing the preview ends the program and takes the document with it.
    preview->close();
    QCOMPARE(m_endings, QList<int>{0});
    QCOMPARE(runFiles(), QStringList());
    QCOMPARE(dialogs.errors(), QStringList());
}

void TestOfficeRoad::emptyData_generate_noTokenRemains()
{
    ScriptedDialogs dialogs;
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Sample first, so that clearing really has something to clear.
    QTest::mouseClick(child<QPushButton>(&form, "PushButton4"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(&form, "PushButton3"), Qt::LeftButton);
    form.List1()->clear();
    form.List2()->clear();
    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        QVERIFY(form.Text1(i)->text().isEmpty());

    // A double click: the second click is waiting while the first one runs
    // (the run lets pending events through) and is ignored.
    // What the user copied before the run, in several formats, is on the
    // clipboard again afterwards: the page picture only passes through it.
    auto* copied = new QMimeData;
    copied->setText(QStringLiteral("copied before the run"));
    copied->setHtml(QStringLiteral("<p>copied <b>before</b></p>"));
    copied->setData(QStringLiteral("application/x-pellamont-test"), QByteArray("\x01\x02", 2));
    QGuiApplication::clipboard()->setMimeData(copied);

    QPushButton* start = child<QPushButton>(&form, "PushButton6");
    const QPoint centre = start->rect().center();
    QCoreApplication::postEvent(start, new QMouseEvent(QEvent::MouseButtonPress, centre,
                                                       start->mapToGlobal(centre), Qt::LeftButton,
                                                       Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(start, new QMouseEvent(QEvent::MouseButtonRelease, centre,
                                                       start->mapToGlobal(centre), Qt::LeftButton,
                                                       Qt::NoButton, Qt::NoModifier));
    Form2* preview = generate(form, "empty data");
    QVERIFY(preview);
    QCoreApplication::processEvents();
    QCOMPARE(dialogs.errors(), QStringList());
    {
        const QMimeData* after = QGuiApplication::clipboard()->mimeData();
        QVERIFY(after);
        QCOMPARE(after->text(), QStringLiteral("copied before the run"));
        QCOMPARE(after->html(), QStringLiteral("<p>copied <b>before</b></p>"));
        QCOMPARE(after->data(QStringLiteral("application/x-pellamont-test")),
                 QByteArray("\x01\x02", 2));
        QVERIFY(!after->hasImage());
    }
    QCOMPARE(runFiles(), QStringList{QFileInfo(preview->wordFile()).fileName()});
    const OfficeDocumentFacts facts = readBack(preview->wordFile());
    QCOMPARE(facts.shapes.size(), std::size_t(15));
    QVERIFY2(!allText(facts).contains(QLatin1Char('[')), qPrintable(allText(facts)));
    QCOMPARE(facts.shapes.at(5).text, QString());
    // Empty lines of a tab are left out; the box keeps one, empty.
    for (std::size_t tab = 6; tab < 14; ++tab)
        QCOMPARE(facts.shapes.at(tab).paragraphs, QStringList({QString()}));

    QTest::mouseClick(child<QPushButton>(preview, "PushButton8"), Qt::LeftButton);
    QCOMPARE(runFiles(), QStringList());
    // Closing the main window ends the program; nothing is left of the run.
    form.close();
    QCOMPARE(m_endings, QList<int>{0});
    QCOMPARE(runFiles(), QStringList());
}

QTEST_MAIN(TestOfficeRoad)
#include "tst_office_road.moc"
