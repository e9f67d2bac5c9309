#pragma once

// The test of template filling on the fake document engine, in two files:
// the run itself (tst_templatefilling.cpp) and what goes into the flyer's
// boxes (tst_templatefilling_boxes.cpp).

#include "generate/templatefilling.h"

#include "base/failure.h"
#include "base/flyerfields.h"
#include "base/mainmodule.h"
#include "fakeword.h"
#include "generate/flyertext.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace TemplateFillingTest {

inline const QStringList kTokens{
    QStringLiteral("[BusinessName]"), QStringLiteral("[City]"),    QStringLiteral("[Title]"),
    QStringLiteral("[PhoneNo]"),      QStringLiteral("[FaxNo]"),   QStringLiteral("[Address]"),
    QStringLiteral("[OwnerName]"),    QStringLiteral("[TagLine]"), QStringLiteral("[State]"),
    QStringLiteral("[Zip]"),          QStringLiteral("[Name2]"),   QStringLiteral("[Address2]"),
    QStringLiteral("[Email2]"),       QStringLiteral("[Phone2]")};

inline const QStringList kSample{QStringLiteral("Corvanti"),
                                 QStringLiteral("Marlow"),
                                 QStringLiteral("Owner"),
                                 QStringLiteral("555-0100"),
                                 QStringLiteral("555-0101"),
                                 QStringLiteral("12 Elm Street"),
                                 QStringLiteral("Dana Reyes"),
                                 QStringLiteral("Clean homes, happy people"),
                                 QStringLiteral("OR"),
                                 QStringLiteral("97001"),
                                 QStringLiteral("Tobin Marsh"),
                                 QStringLiteral("4 Oak Lane"),
                                 QStringLiteral("tobin@example.com"),
                                 QStringLiteral("555-0199")};

inline const QString kBullet = QString(QChar(FlyerText::kBullet));
inline const QChar kCR(13);
inline const QRegularExpression kDocumentName(QStringLiteral("^qorvin[1-9]{8}\\.doc$"));

// Shape positions in the template below.
enum { TitleBox, Services1Box, Services2Box, OwnerBox, PictureBox, ScheduledBox, FirstTab };
constexpr int kTabs = 8;
// The picture box, in points from the page's corner: 3.38 to 5.16 by 7.38 to 8.12 inches.
inline const QRectF kPictureBox(243.36, 531.36, 128.16, 53.28);

// The flyer template's structure: every token inside a text box, the tear-off
// tab tokens eight times, a picture without text, an empty body and header.
FakeWord::Content flyerTemplate();

// The main window as template filling sees it: the order it gives, and what
// the run hands back to it.
class FakeHost final
{
public:
    QStringList texts = kSample;
    QStringList list1;
    QStringList list2;
    QString picture;
    bool preview = true;
    // Replaces the page capture when set.
    std::function<QImage(const QString&)> snapshot;

    // What the run did and gave back.
    QString snapshotOf;
    QString wordFile;
    QSize pictureSize;
    QString notice = QStringLiteral("not set");
    bool previewShown = false;

    void run()
    {
        FlyerOrder order;
        std::copy(texts.begin(), texts.end(), order.record.fields.begin());
        order.record.services = list1;
        order.record.scheduledServices = list2;
        order.picture = picture;
        order.pagePicture = preview;
        const FilledFlyer flyer = TemplateFilling::makeFlyer(order);
        previewShown = flyer.made() && preview;
        if (!flyer.made())
            return;
        wordFile = flyer.document;
        pictureSize = flyer.page.size();
        notice = flyer.notice;
    }

    QImage capture(const QString& documentPath)
    {
        snapshotOf = documentPath;
        if (snapshot)
            return snapshot(documentPath);
        // As the real capture does it: a Word session of its own.
        auto word = Word::CreateApplication();
        word->documents().open(documentPath);
        word->activeDocument()->range()->copyAsPicture();
        QImage page(85, 110, QImage::Format_RGB32);
        page.fill(Qt::white);
        if (!page.save(Main::tempFolder() + QStringLiteral("/temp.bmp"), "BMP"))
            throw Failure(QStringLiteral("cannot write temp.bmp"));
        word->activeDocument()->close(Word::Document::wdDoNotSaveChanges);
        word->quit();
        return page;
    }
};

QStringList filesInTemp();

} // namespace TemplateFillingTest

using namespace TemplateFillingTest;

using Setup = std::function<void(FakeWord::Engine&, FakeHost&)>;
Q_DECLARE_METATYPE(Setup)

class TestTemplateFilling : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void run_sampleData_documentSavedAndPreviewShown();
    void run_sampleData_everyTokenReplaced();
    void run_emptyData_noTokenRemains();
    void run_serviceLists_filledIntoTheirBoxes_data();
    void run_serviceLists_filledIntoTheirBoxes();
    void run_fieldTextsHoldingTokens_filledInIndexOrder();
    void run_existingTemplateFile_usedAndDeleted();
    void run_takenDocumentName_drawnAgain();
    void run_hostWithoutPreview_endsWithTheSavedDocument();
    void run_failure_reportedWithStatementAndRunEndsCleanly_data();
    void run_failure_reportedWithStatementAndRunEndsCleanly();
    void run_flyerPicture_fittedIntoBoxOrStandardKept_data();
    void run_flyerPicture_fittedIntoBoxOrStandardKept();
    void run_textTooLongForItsBox_shrunkOrNamedInTheNotice_data();
    void run_textTooLongForItsBox_shrunkOrNamedInTheNotice();
    void run_textFarBeyondTheFlyer_toldBeforeAndLeftOut();
    void run_pictureAndTextTooLong_noticeNamesTheBoxThatOverflows();

private:
    // Runs the click and returns the statement numbers of the error boxes.
    QList<int> click();
    FakeWord::Content savedDocument() const;

    std::unique_ptr<TestEnvironment> m_environment;
    std::unique_ptr<ScriptedDialogs> m_dialogs;
    std::unique_ptr<FakeWord::Engine::Installed> m_word;
    std::unique_ptr<FakeHost> m_host;
    QByteArray m_templateBytes;
};
