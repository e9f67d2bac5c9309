// The flyer's own picture, chosen and kept: the copy in the data folder, its
// size and transparency, the settings key, the menu commands, the reset, its
// undo and the sample data, and the files that cannot be used.

#include "base/failure.h"
#include "base/settings.h"
#include "entry/flyerpicture.h"
#include "entry/flyerpicturemenu.h"
#include "entry/form1.h"
#include "fakeword.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QAction>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QUrl>

#include <memory>

namespace {

QString writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

// A red disc on a transparent ground, `size` pixels.
QImage logo(QSize size)
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setBrush(Qt::red);
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(QRect(QPoint(0, 0), size));
    return image;
}

// CRC-32 of a PNG chunk's type and data.
quint32 crc32(const QByteArray& bytes)
{
    quint32 crc = 0xffffffffu;
    for (const char byte : bytes) {
        crc ^= quint8(byte);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xedb88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

// A PNG that claims `width` x `height` pixels and holds a few bytes of data:
// what a huge picture looks like until it is decoded.
QByteArray hugePng(quint32 width, quint32 height)
{
    auto big = [](quint32 value) {
        QByteArray bytes;
        for (int shift = 24; shift >= 0; shift -= 8)
            bytes.append(char((value >> shift) & 0xff));
        return bytes;
    };
    auto chunk = [&](const char* type, const QByteArray& data) -> QByteArray {
        const QByteArray body = QByteArray(type) + data;
        return big(quint32(data.size())) + body + big(crc32(body));
    };
    const QByteArray header = big(width) + big(height) + QByteArray("\x08\x06\x00\x00\x00", 5);
    return QByteArray("\x89PNG\r\n\x1a\n", 8) + chunk("IHDR", header) +
           chunk("IDAT", qCompress(QByteArray(64, '\0')).mid(4)) + chunk("IEND", {});
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class TestFlyerPicture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void choose_keepsScaledCopy_data();
    void choose_keepsScaledCopy();
    void choose_badFile_clearMessageAndPreviousKept_data();
    void choose_badFile_clearMessageAndPreviousKept();
    void choose_svgWithExternalImage_referenceNotFollowed();
    void choose_dataFolderBlocked_messageAndStandardKept();
    void menu_chooseResetSample_pictureFollows();

private:
    std::unique_ptr<TestEnvironment> m_environment;
};

void TestFlyerPicture::init()
{
    m_environment = std::make_unique<TestEnvironment>();
}

void TestFlyerPicture::cleanup()
{
    m_environment.reset();
}

void TestFlyerPicture::choose_keepsScaledCopy_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("format");
    QTest::addColumn<QSize>("original");
    QTest::addColumn<QSize>("kept");
    QTest::addColumn<bool>("alpha");
    // The box at 300 dpi is 534 x 222 pixels: larger pictures come down to
    // fit it, smaller ones stay as they are.
    QTest::newRow("wide PNG") << "logo.png" << QByteArray("PNG") << QSize(2000, 500)
                              << QSize(534, 133) << true;
    QTest::newRow("small JPEG") << "logo.jpg" << QByteArray("JPEG") << QSize(100, 50)
                                << QSize(100, 50) << false;
    QTest::newRow("large JPEG, scaled read")
        << "photo.jpeg" << QByteArray("JPEG") << QSize(3000, 2000) << QSize(333, 222) << false;
    QTest::newRow("square BMP") << "logo.bmp" << QByteArray("BMP") << QSize(800, 800)
                                << QSize(222, 222) << false;
    QTest::newRow("SVG drawn at the largest size")
        << "logo.svg" << QByteArray() << QSize(300, 100) << QSize(534, 178) << true;
}

void TestFlyerPicture::choose_keepsScaledCopy()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, format);
    QFETCH(QSize, original);
    QFETCH(QSize, kept);
    QFETCH(bool, alpha);
    const QString path = m_environment->root() + QLatin1Char('/') + name;
    if (format.isEmpty())
        writeFile(path, QStringLiteral("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"%1\" "
                                       "height=\"%2\"><circle cx=\"150\" cy=\"50\" r=\"40\" "
                                       "fill=\"red\"/></svg>")
                            .arg(original.width())
                            .arg(original.height())
                            .toUtf8());
    else
        QVERIFY(logo(original).save(path, format.constData()));
    WriteSetting(QStringLiteral("Text1_0"), QStringLiteral("Corvanti"));

    FlyerPicture::choose(path);
    // The original may go: the program keeps its own copy.
    QVERIFY(QFile::remove(path));
    const QString copy = FlyerPicture::currentPath();
    QCOMPARE(QFileInfo(copy).absolutePath(), FlyerPicture::dataFolder());
    const QImage stored(copy);
    QCOMPARE(stored.size(), kept);
    QCOMPARE(stored.hasAlphaChannel(), alpha);
    // The middle of the disc is red, and (where the format has transparency)
    // a corner is see-through.
    QCOMPARE(QColor(stored.pixel(kept.width() / 2, kept.height() / 2)).red() > 200, true);
    if (alpha)
        QCOMPARE(qAlpha(stored.pixel(0, 0)), 0);
    // The key of its own beside the flyer's keys, which stay as they were.
    const QByteArray settings = m_environment->settingsText();
    QVERIFY2(settings.contains("FlyerPicture=flyer-picture.png"), settings.constData());
    QVERIFY(settings.contains("Text1_0=Corvanti"));
}

void TestFlyerPicture::choose_badFile_clearMessageAndPreviousKept_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");
    QByteArray png;
    {
        QBuffer buffer(&png);
        buffer.open(QIODevice::WriteOnly);
        logo(QSize(400, 400)).save(&buffer, "PNG");
    }
    QTest::newRow("not a picture")
        << "notes.png" << QByteArray("Just some words.\n") << "is not a picture";
    QTest::newRow("damaged") << "broken.png" << png.left(png.size() / 2) << "is damaged";
    QTest::newRow("empty") << "empty.png" << QByteArray() << "is empty";
    QTest::newRow("20,000 x 20,000 pixels")
        << "huge.png" << hugePng(20000, 20000) << "20000 x 20000";
    QTest::newRow("removed before it was read") << "gone.png" << QByteArray() << "cannot be found";
}

void TestFlyerPicture::choose_badFile_clearMessageAndPreviousKept()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    const QString previous = m_environment->root() + QStringLiteral("/previous.png");
    QVERIFY(logo(QSize(300, 100)).save(previous));
    FlyerPicture::choose(previous);
    const QByteArray kept = fileBytes(FlyerPicture::currentPath());
    const QByteArray settings = m_environment->settingsText();

    QString path = m_environment->root() + QLatin1Char('/') + name;
    if (name != QLatin1String("gone.png"))
        writeFile(path, bytes);
    try {
        FlyerPicture::choose(path);
        QFAIL("The file was taken as a picture.");
    } catch (const Failure& failure) {
        QVERIFY2(failure.description().contains(path), qPrintable(failure.description()));
        QVERIFY2(failure.description().contains(expected), qPrintable(failure.description()));
    }
    QCOMPARE(fileBytes(FlyerPicture::currentPath()), kept);
    QCOMPARE(m_environment->settingsText(), settings);
}

void TestFlyerPicture::choose_svgWithExternalImage_referenceNotFollowed()
{
    // A picture file beside the drawing that the drawing names: were the
    // reference followed, its red would cover the drawing.
    const QString red = m_environment->root() + QStringLiteral("/red.png");
    QImage redSquare(100, 100, QImage::Format_RGB32);
    redSquare.fill(Qt::red);
    QVERIFY(redSquare.save(red));
    const QString svg = writeFile(
        m_environment->root() + QStringLiteral("/logo.svg"),
        QStringLiteral("<?xml version=\"1.0\"?>\n<svg xmlns=\"http://www.w3.org/2000/svg\" "
                       "xmlns:xlink=\"http://www.w3.org/1999/xlink\" viewBox=\"0 0 100 100\">"
                       "<rect id=\"r\" width=\"100\" height=\"100\" fill=\"blue\"/>"
                       "<image x=\"0\" y=\"0\" width=\"100\" height=\"100\" xlink:href=\"%1\"/>"
                       "<image x=\"0\" y=\"0\" width=\"100\" height=\"100\" href=\"%2\"/>"
                       "</svg>")
            .arg(red, QUrl::fromLocalFile(red).toString())
            .toUtf8());
    FlyerPicture::choose(svg);
    const QImage stored(FlyerPicture::currentPath());
    QCOMPARE(stored.size(), QSize(222, 222));
    QCOMPARE(QColor(stored.pixel(111, 111)), QColor(Qt::blue));
}

void TestFlyerPicture::choose_dataFolderBlocked_messageAndStandardKept()
{
    // A file where the data folder should be: nothing can be kept there.
    QVERIFY(QDir().mkpath(QFileInfo(FlyerPicture::dataFolder()).absolutePath()));
    writeFile(FlyerPicture::dataFolder(), "in the way");
    const QString path = m_environment->root() + QStringLiteral("/logo.png");
    QVERIFY(logo(QSize(300, 100)).save(path));
    try {
        FlyerPicture::choose(path);
        QFAIL("The picture was taken although it could not be kept.");
    } catch (const Failure& failure) {
        QVERIFY2(failure.description().contains(path), qPrintable(failure.description()));
        QVERIFY(failure.description().contains(QStringLiteral("previous picture")));
    }
    QCOMPARE(FlyerPicture::currentPath(), QString());
}

void TestFlyerPicture::menu_chooseResetSample_pictureFollows()
{
    FakeWord::Engine::Installed engine;
    ScriptedDialogs dialogs;
    Form1 form;
    QAction* choose = form.pictureMenu()->chooseAction();
    QCOMPARE(choose->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+P")));
    // In the window's one Flyer menu, the menu after File.
    const auto flyerMenus = form.findChildren<QMenu*>(QStringLiteral("flyerMenu"));
    QCOMPARE(flyerMenus.size(), 1);
    QVERIFY(flyerMenus.first()->actions().contains(choose));
    const QList<QAction*> menus = form.findChild<QMenuBar*>(QStringLiteral("MenuBar"))->actions();
    QCOMPARE(menus.indexOf(flyerMenus.first()->menuAction()),
             menus.indexOf(form.findChild<QMenu*>(QStringLiteral("FileMenu"))->menuAction()) + 1);
    QVERIFY(!form.pictureMenu()->standardAction()->isEnabled());

    const QString path = m_environment->root() + QStringLiteral("/logo.png");
    QVERIFY(logo(QSize(600, 200)).save(path));
    dialogs.answerOpenFiles({path, m_environment->root() + QStringLiteral("/missing.png")});
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QTest::keyClick(&form, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    QCOMPARE(dialogs.errors(), QStringList());
    const QString kept = FlyerPicture::currentPath();
    QVERIFY(QFile::exists(kept));
    QVERIFY(!choose->icon().isNull());
    QVERIFY2(choose->toolTip().contains(QStringLiteral("534 x 178")),
             qPrintable(choose->toolTip()));
    QVERIFY(form.pictureMenu()->standardAction()->isEnabled());

    // A file that cannot be used: one message naming it, the picture stays.
    choose->trigger();
    QCOMPARE(dialogs.errors().size(), 1);
    QVERIFY(dialogs.errors().first().contains(QStringLiteral("missing.png")));
    QCOMPARE(FlyerPicture::currentPath(), kept);
    QVERIFY(QFile::exists(kept));

    // The sample data leaves the picture; the reset brings the standard one back.
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("PushButton4")), Qt::LeftButton);
    QCOMPARE(FlyerPicture::currentPath(), kept);
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("PushButton3")), Qt::LeftButton);
    QCOMPARE(FlyerPicture::currentPath(), QString());
    QVERIFY(!QFile::exists(kept));
    QVERIFY(choose->icon().isNull());
    QVERIFY(!form.pictureMenu()->standardAction()->isEnabled());

    // Undo of the reset brings the same picture back, and the menu shows it.
    form.findChild<QAction*>(QStringLiteral("UndoAction"))->trigger();
    QCOMPARE(FlyerPicture::currentPath(), kept);
    QCOMPARE(QImage(kept).convertToFormat(QImage::Format_ARGB32),
             FlyerPicture::readPicture(path).convertToFormat(QImage::Format_ARGB32));
    QVERIFY(!choose->icon().isNull());
    QVERIFY(form.pictureMenu()->standardAction()->isEnabled());
    QCOMPARE(dialogs.errors().size(), 1);
}

QTEST_MAIN(TestFlyerPicture)
#include "tst_flyerpicture.moc"
