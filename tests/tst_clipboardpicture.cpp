#include "base/clipboardpicture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>
#include <QThread>

#include <stdexcept>

namespace {

// A clipboard that is busy for a number of requests, then hands out a picture.
class BusyClipboard final : public Main::PictureClipboard
{
public:
    explicit BusyClipboard(int busyRequests, bool throws = false)
        : m_busy(busyRequests), m_throws(throws)
    {
        install(this);
    }
    ~BusyClipboard() override { install(nullptr); }

    QImage picture(int format) override
    {
        ++requests;
        lastFormat = format;
        QThread::msleep(slowness);
        if (requests <= m_busy) {
            if (m_throws)
                throw std::runtime_error("clipboard is locked");
            return {};
        }
        QImage image(3, 2, QImage::Format_RGB32);
        image.fill(Qt::red);
        return image;
    }

    bool holdsOwnContent() override { return ownContent; }

    int requests = 0;
    int lastFormat = -1;
    bool ownContent = true;
    int slowness = 0;

private:
    int m_busy;
    bool m_throws;
};

} // namespace

class TestClipboardPicture : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void read_busyForSomeRequests_asksUntilFirstSuccessAtMost1000Times_data();
    void read_busyForSomeRequests_asksUntilFirstSuccessAtMost1000Times();
    void pagePicture_clipboardTakenOver_givesThePicturePutThere_data();
    void pagePicture_clipboardTakenOver_givesThePicturePutThere();
    void keeper_usersPictureAndText_onClipboardAgain();
};

void TestClipboardPicture::read_busyForSomeRequests_asksUntilFirstSuccessAtMost1000Times_data()
{
    QTest::addColumn<int>("busyRequests");
    QTest::addColumn<bool>("throws");
    QTest::addColumn<int>("expectedRequests");
    QTest::addColumn<bool>("expectPicture");
    QTest::addColumn<int>("slowness");

    QTest::newRow("answers at once") << 0 << false << 1 << true << 0;
    QTest::newRow("busy twice") << 2 << false << 3 << true << 0;
    QTest::newRow("answers on the last allowed request") << 999 << false << 1000 << true << 0;
    QTest::newRow("answers one request too late") << 1000 << false << 1000 << false << 0;
    QTest::newRow("never answers") << 1000000 << false << 1000 << false << 0;
    QTest::newRow("failing requests are silent") << 1000000 << true << 1000 << false << 0;
    QTest::newRow("fails, then answers") << 5 << true << 6 << true << 0;
    // Each request to a slow owner takes 20 ms: after the patience, not 1000 of them.
    QTest::newRow("slow owner, never answers")
        << 1000000 << false << Main::kClipboardPatienceMilliseconds / 20 << false << 20;
}

void TestClipboardPicture::read_busyForSomeRequests_asksUntilFirstSuccessAtMost1000Times()
{
    QFETCH(int, busyRequests);
    QFETCH(bool, throws);
    QFETCH(int, expectedRequests);
    QFETCH(bool, expectPicture);
    QFETCH(int, slowness);

    BusyClipboard clipboard(busyRequests, throws);
    clipboard.slowness = slowness;
    const QImage picture = Main::ReadClipboardPicture(0);
    if (slowness > 0)
        QVERIFY(clipboard.requests <= expectedRequests + 1);
    else
        QCOMPARE(clipboard.requests, expectedRequests);
    QCOMPARE(clipboard.lastFormat, 0);
    QCOMPARE(!picture.isNull(), expectPicture);
    if (expectPicture)
        QCOMPARE(picture.size(), QSize(3, 2));
}

void TestClipboardPicture::pagePicture_clipboardTakenOver_givesThePicturePutThere_data()
{
    QTest::addColumn<bool>("put");
    QTest::addColumn<bool>("ownContent");
    QTest::addColumn<int>("busyRequests");
    QTest::addColumn<QSize>("expectedSize");

    // The clipboard's own picture is 3 x 2, the one put there 5 x 5.
    QTest::newRow("still ours") << true << true << 0 << QSize(3, 2);
    QTest::newRow("another program wrote it") << true << false << 0 << QSize(5, 5);
    QTest::newRow("ours, but no picture comes") << true << true << 1000000 << QSize(5, 5);
    QTest::newRow("nothing put there") << false << false << 0 << QSize(3, 2);
}

void TestClipboardPicture::pagePicture_clipboardTakenOver_givesThePicturePutThere()
{
    QFETCH(bool, put);
    QFETCH(bool, ownContent);
    QFETCH(int, busyRequests);
    QFETCH(QSize, expectedSize);

    BusyClipboard clipboard(busyRequests);
    clipboard.ownContent = ownContent;
    if (put) {
        QImage page(5, 5, QImage::Format_RGB32);
        page.fill(Qt::blue);
        Main::PutPagePicture(page);
    }
    QCOMPARE(Main::ReadPagePicture().size(), expectedSize);
    // Given once: a later run never gets this run's page.
    QVERIFY(Main::ReadPagePicture().size() != QSize(5, 5));
}

void TestClipboardPicture::keeper_usersPictureAndText_onClipboardAgain()
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(Qt::blue);
    auto* copied = new QMimeData;
    copied->setImageData(picture);
    copied->setText(QStringLiteral("caption"));
    QGuiApplication::clipboard()->setMimeData(copied);
    {
        Main::ClipboardKeeper keeper;
        QImage page(5, 5, QImage::Format_RGB32);
        page.fill(Qt::white);
        QGuiApplication::clipboard()->setImage(page);
    }
    const QMimeData* after = QGuiApplication::clipboard()->mimeData();
    QVERIFY(after && after->hasImage());
    QCOMPARE(after->text(), QStringLiteral("caption"));
    QCOMPARE(qvariant_cast<QImage>(after->imageData()).convertToFormat(QImage::Format_RGB32),
             picture);
}

QTEST_MAIN(TestClipboardPicture)
#include "tst_clipboardpicture.moc"
