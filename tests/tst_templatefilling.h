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

// The main and preview windows as template filling sees them.
class FakeHost final : public GenerationHost
{
public:
    QStringList tokens = kTokens;
    QStringList texts = kSample;
    QStringList list1;
    QStringList list2;
    bool flag = false;
    QList<PointerSetting::Setting> pointers;
    QStringList events;
    QString snapshotOf;
    bool generatingDuringSnapshot = false;
    QString wordFile;
    QSize pictureSize;
    bool previewShown = false;
    bool mainHidden = false;
    // Replaces the page capture when set.
    std::function<void(const QString&)> snapshot;
    std::function<void()> show;

    QString fieldToken(int index) override { return tokens.at(index); }
    QString fieldText(int index) override { return texts.at(index); }
    QStringList services() override { return list1; }
    QStringList scheduledServices() override { return list2; }
    QString picture;
    QString flyerPicture() override { return picture; }
    bool generating() const override { return flag; }
    void setGenerating(bool generating) override { flag = generating; }
    void setMousePointer(PointerSetting::Setting setting) override { pointers << setting; }

    void SaveDocAsJPG(const QString& documentPath) override
    {
        events << QStringLiteral("SaveDocAsJPG");
        snapshotOf = documentPath;
        generatingDuringSnapshot = flag;
        if (snapshot) {
            snapshot(documentPath);
            return;
        }
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
    }
    void loadPreviewPicture(const QString& path) override
    {
        events << QStringLiteral("loadPreviewPicture(%1)").arg(QFileInfo(path).fileName());
        QImage picture;
        if (!picture.load(path))
            throw Failure(QStringLiteral("Invalid picture"));
        pictureSize = picture.size();
    }
    void setPreviewWordFile(const QString& documentPath) override
    {
        events << QStringLiteral("setPreviewWordFile");
        wordFile = documentPath;
    }
    void showPreview() override
    {
        events << QStringLiteral("showPreview");
        if (show)
            show();
        previewShown = true;
    }
    void hideMainWindow() override
    {
        events << QStringLiteral("hideMainWindow");
        mainHidden = true;
    }
    void setPreviewNotice(const QString& text) override { notice = text; }
    QString notice = QStringLiteral("not set");
    bool preview = true;
    bool showsPreview() const override { return preview; }
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

    void run_sampleData_wordCalledInOrderAndPreviewShown();
    void run_sampleData_everyTokenReplaced();
    void run_emptyData_noTokenRemains();
    void run_serviceLists_filledIntoTheirBoxes_data();
    void run_serviceLists_filledIntoTheirBoxes();
    void run_fieldTextsHoldingTokens_filledInIndexOrder();
    void run_existingTemplateFile_usedAndDeleted();
    void run_takenDocumentName_drawnAgain();
    void run_hostWithoutPreview_endsWithTheSavedDocument();
    void click_duringRunOrWhileFlagSet_ignored();
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
