#include "base/clipboardpicture.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTest>

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
        if (requests <= m_busy) {
            if (m_throws)
                throw std::runtime_error("clipboard is locked");
            return {};
        }
        QImage image(3, 2, QImage::Format_RGB32);
        image.fill(Qt::red);
        return image;
    }

    int requests = 0;
    int lastFormat = -1;

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
    void keeper_usersPictureAndText_onClipboardAgain();
};

void TestClipboardPicture::read_busyForSomeRequests_asksUntilFirstSuccessAtMost1000Times_data()
{
    QTest::addColumn<int>("busyRequests");
    QTest::addColumn<bool>("throws");
    QTest::addColumn<int>("expectedRequests");
    QTest::addColumn<bool>("expectPicture");

    QTest::newRow("answers at once") << 0 << false << 1 << true;
    QTest::newRow("busy twice") << 2 << false << 3 << true;
    QTest::newRow("answers on the last allowed request") << 999 << false << 1000 << true;
    QTest::newRow("answers one request too late") << 1000 << false << 1000 << false;
    QTest::newRow("never answers") << 1000000 << false << 1000 << false;
    QTest::newRow("failing requests are silent") << 1000000 << true << 1000 << false;
    QTest::newRow("fails, then answers") << 5 << true << 6 << true;
}

void TestClipboardPicture::read_busyForSomeRequests_asksUntilFirstSuccessAtMost1000Times()
{
    QFETCH(int, busyRequests);
    QFETCH(bool, throws);
    QFETCH(int, expectedRequests);
    QFETCH(bool, expectPicture);

    BusyClipboard clipboard(busyRequests, throws);
    const QImage picture = Main::ReadClipboardPicture(0);
    QCOMPARE(clipboard.requests, expectedRequests);
    QCOMPARE(clipboard.lastFormat, 0);
    QCOMPARE(!picture.isNull(), expectPicture);
    if (expectPicture)
        QCOMPARE(picture.size(), QSize(3, 2));
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
