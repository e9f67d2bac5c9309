#include "generate/templatefilling.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/errorreport.h"
#include "base/failure.h"
#include "base/flyerfields.h"
#include "base/mainmodule.h"
#include "generate/fitnotice.h"
#include "generate/flyerstyle.h"
#include "generate/flyertext.h"
#include "generate/fontcoverage.h"
#include "generate/pixeldensity.h"
#include "generate/snapshot.h"
#include "generate/tearoffcode.h"
#include "generate/word.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <algorithm>
#include <memory>
#include <optional>
#include <vector>

using namespace Qt::Literals::StringLiterals;

namespace TemplateFilling {

namespace {
std::function<QByteArray()>& templateSource()
{
    static std::function<QByteArray()> source;
    return source;
}

std::function<QImage(const QString&)>& pageCapture()
{
    static std::function<QImage(const QString&)> capture;
    return capture;
}

// Any entry takes a name, a link to nothing included: saving under such a
// name would write wherever the link points.
bool nameTaken(const QString& path)
{
    const QFileInfo entry(path);
    return entry.exists() || entry.isSymLink();
}

QString inTempFolder(const char* name)
{
    return Main::tempFolder() + QLatin1Char('/') + QLatin1String(name);
}

// Puts the picture file at `path` into the template's picture box in place of
// the template's own picture: as large as fits, proportions kept, centred.
// The box keeps the template's picture when anything fails. Returns the
// position in `shapes` of the template's picture, which is gone.
std::size_t placeFlyerPicture(Word::Document& document,
                              const std::vector<std::shared_ptr<Word::Shape>>& shapes,
                              const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path);
    if (!Main::FileExists(path))
        throw Failure(QStringLiteral("The flyer's picture %1 is missing, so this flyer shows "
                                     "the standard picture. Choose your picture again under "
                                     "Flyer, Flyer Picture.")
                          .arg(shown));
    const QSize pixels = QImageReader(path).size();
    if (pixels.isEmpty())
        throw Failure(QStringLiteral("The flyer's picture %1 cannot be read, so this flyer shows "
                                     "the standard picture. Choose your picture again under "
                                     "Flyer, Flyer Picture.")
                          .arg(shown));
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        const auto& shape = shapes[i];
        if (shape->type() != Word::Shape::msoPicture)
            continue;
        try {
            document.addPicture(path, FlyerText::fittedPlace(pixels, shape->place()));
        } catch (const Word::EngineLost&) {
            throw;
        } catch (const Failure& failure) {
            throw Failure(QStringLiteral("The flyer's picture %1 could not be put into the "
                                         "flyer (%2), so this flyer shows the standard picture.")
                              .arg(shown, failure.description()));
        }
        shape->remove();
        return i;
    }
    throw Failure(
        QStringLiteral("The flyer template has no picture box for the picture %1.").arg(shown));
}
} // namespace

QByteArray embeddedTemplate()
{
    if (const auto& source = templateSource())
        return source();
    loadProgramResources();
    QFile file(QStringLiteral(":/CUSTOM/101"));
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The flyer template is missing from the program."));
    QByteArray bytes = file.readAll();
    // An empty template would be written out and then kept, since an existing
    // "template.dot" is never replaced.
    if (bytes.isEmpty())
        throw Failure(QStringLiteral("The flyer template inside the program is empty."));
    return bytes;
}

void warmUpEngine()
{
    try {
        Word::engine().warmUp(embeddedTemplate());
    } catch (...) {
        // Without an engine or a template the first run reports why.
    }
}

void setTemplateSourceForTesting(std::function<QByteArray()> source)
{
    templateSource() = std::move(source);
}

void setPageCaptureForTesting(std::function<QImage(const QString&)> capture)
{
    pageCapture() = std::move(capture);
}

FlyerFit fitFlyer(Word::Document& document, const std::vector<FitNotice::Box>& boxes,
                  const QStringList& services, FlyerText::ServiceColumns columns)
{
    FlyerFit result{{}, std::move(columns)};
    std::optional<std::size_t> left;
    std::optional<std::size_t> right;
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        const QStringList tokens = FitNotice::tokensIn(boxes[i].templateText);
        if (tokens == QStringList{QStringLiteral("[Services1]")})
            left = i;
        else if (tokens == QStringList{QStringLiteral("[Services2]")})
            right = i;
    }
    if (!left || !right || services.size() < 2) {
        result.fits = document.fitTextToShapes(kFitLimits);
        return result;
    }
    // The columns are only measured at first: moved between the columns,
    // the items keep their designed size.
    Word::TextFitPlan plan;
    plan.measureOnly = {*left, *right};
    result.fits = document.fitTextToShapes(kFitLimits, plan);
    auto fitsAsDesigned = [&](std::size_t shape) {
        return shape >= result.fits.size() || result.fits[shape].fits;
    };
    if (fitsAsDesigned(*left) && fitsAsDesigned(*right))
        return result;
    const FlyerText::ServiceColumns balanced = FlyerText::balancedColumns(services);
    result.columns = {FlyerText::laidOutColumn(balanced.first),
                      FlyerText::laidOutColumn(balanced.second)};
    const auto shapes = document.shapes();
    shapes.at(*left)->textFrame()->textRange()->setText(result.columns.first);
    shapes.at(*right)->textFrame()->textRange()->setText(result.columns.second);
    Word::TextFitPlan together;
    together.together = {{*left, *right}};
    together.only = {*left, *right};
    const auto fits = document.fitTextToShapes(kFitLimits, together);
    for (const std::size_t shape : {*left, *right}) {
        if (shape < fits.size() && shape < result.fits.size())
            result.fits[shape] = fits[shape];
    }
    return result;
}

namespace {

// One run of "Start Creating Template", phase by phase. Each phase returns
// false once the run has ended (the one error box shown, the run's files
// gone, the main window as it was); the statement numbers are those the error
// report shows for Form1.PushButton6_Click.
class FillingRun
{
public:
    FillingRun(Guard& guard, const FlyerOrder& order) : m_guard(guard), m_order(order) {}

    void tellWhatIsCut();
    bool openTemplate();
    bool leaveOutEmptyFields();
    bool layOutServices();
    bool fillStories();
    bool fillShapes();
    bool placeTearOffCode();
    bool placePicture();
    bool fitText();
    bool recolor();
    bool save();
    bool takePagePicture();
    FilledFlyer filled() const { return {m_documentPath, m_page, m_notice}; }

private:
    const QString& typedText(int i) const { return m_order.record.fields.at(std::size_t(i)); }
    // Text far beyond what the flyer can show is not laid out (that could
    // take minutes).
    QString fieldText(int i) const { return FlyerText::laidOutText(typedText(i)); }
    // On a tab narrowed by its code an address breaks between its parts
    // rather than within a word; without a code the tabs are as designed.
    QString filledText(int i) const
    {
        return m_order.tearOffCode.isEmpty() || i < FlyerFields::kFirstTabField
                   ? fieldText(i)
                   : TearOffCode::breakableOnTab(fieldText(i));
    }
    const QStringList& services() const { return m_order.record.services; }
    const QStringList& scheduledServices() const { return m_order.record.scheduledServices; }
    bool endRun(const QString& orphanedDocument = {});

    Guard& m_guard;
    const FlyerOrder& m_order;
    QString m_templatePath;
    std::shared_ptr<Word::Application> m_word;
    std::shared_ptr<Word::Document> m_document;
    // Which box holds which tokens, read before they are replaced, so that
    // the notice can name the fields of a box that does not fit.
    std::vector<FitNotice::Box> m_boxes;
    std::vector<std::shared_ptr<Word::Shape>> m_shapes;
    QString m_services1;
    QString m_services2;
    QString m_scheduledServices;
    QString m_notice;
    QString m_documentPath;
    QString m_picturePath;
    QImage m_page;
    bool m_ownPicture = false;
    const int m_reportsBefore = Guard::reportsInAll();
};

// The user hears before the run what is left out of the flyer.
void FillingRun::tellWhatIsCut()
{
    QList<FitNotice::Cut> cuts;
    for (int i = 0; i < FlyerFields::kFieldCount; ++i) {
        const QString& text = typedText(i);
        if (text.size() > FlyerText::kLaidOutCharacters)
            cuts.append({FlyerFields::token(i),
                         FlyerText::characterCount(FlyerText::laidOutText(text)),
                         FlyerText::characterCount(text)});
    }
    const FlyerText::ServiceColumns columns = FlyerText::columnsToFill(services());
    for (const auto& [token, column] : {std::pair{QStringLiteral("[Services1]"), columns.first},
                                        std::pair{QStringLiteral("[Services2]"), columns.second}}) {
        const QString kept = FlyerText::laidOutColumn(column);
        if (kept == column)
            continue;
        // A first item longer than the limit is cut within, like a field.
        if (kept.endsWith(QLatin1Char('\r')))
            cuts.append(
                {token, kept.count(QLatin1Char('\r')), column.count(QLatin1Char('\r')), true});
        else
            cuts.append(
                {token, FlyerText::characterCount(kept), FlyerText::characterCount(column)});
    }
    const QString scheduled = FlyerText::scheduledServicesText(scheduledServices());
    if (scheduled.size() > FlyerText::kLaidOutCharacters)
        cuts.append({QStringLiteral("[ScheduledServices]"),
                     FlyerText::characterCount(FlyerText::laidOutText(scheduled)),
                     FlyerText::characterCount(scheduled)});
    const QString notice = FitNotice::cutNotice(cuts);
    if (!notice.isEmpty())
        Dialogs::current().message(QString::fromLatin1(kDisplayName), notice);
}

// Ends a run that cannot produce a preview: the one error box has been
// shown; nothing after it could succeed, so no further boxes and no empty
// preview. Files of the run go, the main window stays as it is.
bool FillingRun::endRun(const QString& orphanedDocument)
{
    // A run never ends without a preview and without a word: when no step
    // has said why, this says that it failed.
    if (Guard::reportsInAll() == m_reportsBefore)
        m_guard.report(252, QStringLiteral("The flyer could not be made, and the document "
                                           "engine gave no reason. Try again; if it happens "
                                           "again, restart Pellamont."));
    m_document.reset();
    if (m_word) {
        try {
            m_word->quit();
        } catch (...) {
            // The user has seen why the run stopped; a session that will
            // not quit is released below all the same.
        }
        m_word.reset();
    }
    Main::DeleteFileQuietly(m_templatePath);
    Main::DeleteFileQuietly(orphanedDocument);
    return false;
}

bool FillingRun::openTemplate()
{
    QByteArray templateBytes;
    if (!m_guard(106, [&] { templateBytes = embeddedTemplate(); }))
        return endRun();
    const bool templateWritten = m_guard(108, [&] {
        m_templatePath = inTempFolder("template.dot");
        if (!Main::FileExists(m_templatePath))
            Main::WriteFileIfAbsent(templateBytes, m_templatePath);
    });
    if (!templateWritten)
        return endRun();
    const bool started = m_guard(110, [&] {
        m_word = Word::CreateApplication();
        if (!m_word)
            throw Failure(QStringLiteral("The document engine did not start."));
    });
    if (!started)
        return endRun();
    m_guard(112, [&] { m_templatePath = inTempFolder("template.dot"); });
    const bool opened = m_guard(114, [&] {
        m_document = m_word->documents().open(m_templatePath, true);
        if (!m_document)
            throw Failure(QStringLiteral("The flyer template could not be opened."));
    });
    if (!opened)
        return endRun();

    m_guard(152, [&] {
        for (const auto& shape : m_document->shapes()) {
            const auto frame = shape->textFrame();
            m_boxes.push_back({frame->hasText() ? frame->textRange()->text() : QString()});
        }
    });
    return !m_guard.lost() || endRun();
}

// An empty field takes its label and separators with it, and a line that
// holds nothing else goes; with every field filled nothing changes here.
bool FillingRun::leaveOutEmptyFields()
{
    m_guard(153, [&] {
        // Spaces show nothing; a line break is there to be seen.
        auto blank = [](const QString& text) {
            return std::all_of(text.begin(), text.end(), [](QChar c) {
                return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QChar(0xa0);
            });
        };
        QStringList empty;
        for (int i = 0; i < FlyerFields::kFieldCount; ++i) {
            if (blank(typedText(i)))
                empty << FlyerFields::token(i);
        }
        if (empty.isEmpty())
            return;
        const auto edits = FlyerText::emptyFieldEdits(
            [&](const QString& token) { return empty.contains(token, Qt::CaseInsensitive); });
        for (const auto& shape : m_document->shapes()) {
            if (!shape->textFrame()->hasText())
                continue;
            for (const FlyerText::Edit& edit : edits)
                shape->textFrame()->textRange()->find().execute(edit.find, edit.replace,
                                                                Word::Find::wdReplaceAll);
        }
        m_document->removeTokenLines(empty);
    });
    return !m_guard.lost() || endRun();
}

bool FillingRun::layOutServices()
{
    m_guard(116, [&] { m_services1.clear(); });
    m_guard(118, [&] { m_services2.clear(); });
    m_guard(120, [&] {
        const FlyerText::ServiceColumns columns = FlyerText::columnsToFill(services());
        m_services1 = FlyerText::laidOutColumn(columns.first);
        m_services2 = FlyerText::laidOutColumn(columns.second);
    });
    m_guard(140, [&] {
        m_scheduledServices =
            FlyerText::laidOutText(FlyerText::scheduledServicesText(scheduledServices()));
    });
    return true;
}

// Every story, field by field in index order: a field text that contains
// the token of a later field is filled in turn by that field.
bool FillingRun::fillStories()
{
    for (int i = 0; i < FlyerFields::kFieldCount; ++i) {
        const auto ranges = m_guard.value(154, std::vector<std::shared_ptr<Word::Range>>{},
                                          [&] { return m_document->storyRanges(); });
        if (m_guard.lost())
            return endRun();
        for (const auto& range : ranges) {
            Word::Find* const find = m_guard.value(156, static_cast<Word::Find*>(nullptr),
                                                   [&] { return &range->find(); });
            if (!find)
                continue;
            m_guard(158, [&] { find->clearFormatting(); });
            m_guard(160, [&] { find->replacement().clearFormatting(); });
            m_guard(162, [&] { find->setText(FlyerFields::token(i)); });
            m_guard(164, [&] { find->replacement().setText(filledText(i)); });
            m_guard(168, [&] { find->setForward(true); });
            m_guard(170, [&] { find->setWrap(Word::Find::wdFindContinue); });
            m_guard(172, [&] { find->setFormat(false); });
            m_guard(174, [&] { find->setMatchCase(false); });
            m_guard(176, [&] { find->setMatchWholeWord(false); });
            m_guard(178, [&] { find->setMatchWildcards(false); });
            m_guard(180, [&] { find->setMatchSoundsLike(false); });
            m_guard(182, [&] { find->setMatchAllWordForms(false); });
            m_guard(184, [&] { find->execute(Word::Find::wdReplaceAll); });
            if (m_guard.lost())
                return endRun();
        }
    }
    return true;
}

// Then every text box again, with the service tokens added.
bool FillingRun::fillShapes()
{
    m_shapes = m_guard.value(190, std::vector<std::shared_ptr<Word::Shape>>{},
                             [&] { return m_document->shapes(); });
    if (m_guard.lost())
        return endRun();
    for (const auto& shape : m_shapes) {
        const bool hasText = m_guard.test(192, [&] { return shape->textFrame()->hasText(); });
        if (m_guard.lost())
            return endRun();
        if (!hasText)
            continue;
        auto replaceAll = [&](const QString& token, const QString& text) {
            shape->textFrame()->textRange()->find().execute(token, text, Word::Find::wdReplaceAll);
        };
        for (int i = 0; i < FlyerFields::kFieldCount && !m_guard.lost(); ++i)
            m_guard(196, [&] { replaceAll(FlyerFields::token(i), filledText(i)); });
        if (!m_guard.lost())
            m_guard(200, [&] { replaceAll(QStringLiteral("[Services1]"), m_services1); });
        if (!m_guard.lost())
            m_guard(202, [&] { replaceAll(QStringLiteral("[Services2]"), m_services2); });
        if (!m_guard.lost())
            m_guard(204, [&] {
                replaceAll(QStringLiteral("[ScheduledServices]"), m_scheduledServices);
            });
        if (m_guard.lost())
            return endRun();
    }
    return true;
}

// The business's own picture, when one was chosen; without one the
// template's picture stays untouched.
// The tabs' code, when one was chosen, before the tabs' text is fitted;
// without one the tabs stay as the template has them.
bool FillingRun::placeTearOffCode()
{
    const QString& code = m_order.tearOffCode;
    if (!code.isEmpty())
        m_guard(205, [&] {
            QStringList templateTexts;
            for (const auto& box : m_boxes)
                templateTexts << box.templateText;
            const int added = TearOffCode::placeOnTabs(*m_document, m_shapes, templateTexts, code,
                                                       Main::tempFolder());
            m_boxes.insert(m_boxes.end(), std::size_t(added), FitNotice::Box{});
        });
    return !m_guard.lost() || endRun();
}

bool FillingRun::placePicture()
{
    const QString& picture = m_order.picture;
    if (!picture.isEmpty())
        m_guard(206, [&] {
            const std::size_t replaced = placeFlyerPicture(*m_document, m_shapes, picture);
            m_ownPicture = true;
            // The template's picture has left the list of shapes and the
            // chosen one come last, in front of everything: the boxes
            // follow, so that they stay beside their fits below.
            if (replaced < m_boxes.size()) {
                m_boxes.erase(m_boxes.begin() + std::ptrdiff_t(replaced));
                m_boxes.push_back({});
            }
        });
    return !m_guard.lost() || endRun();
}

// Text that overflows its box is made smaller before the document is saved,
// so that the saved document looks like the preview; after the picture, so
// that fitting sees the document as it is saved.
bool FillingRun::fitText()
{
    m_guard(207, [&] {
        const FlyerFit fit = fitFlyer(*m_document, m_boxes, services(), {m_services1, m_services2});
        const auto& fits = fit.fits;
        m_services1 = fit.columns.first;
        m_services2 = fit.columns.second;
        QHash<QString, QString> filled;
        // As the document holds them, so that the notice finds each field in
        // the paragraphs the fitting names.
        for (int i = 0; i < FlyerFields::kFieldCount; ++i)
            filled.insert(FlyerFields::token(i), filledText(i));
        filled.insert(QStringLiteral("[Services1]"), m_services1);
        filled.insert(QStringLiteral("[Services2]"), m_services2);
        filled.insert(QStringLiteral("[ScheduledServices]"), m_scheduledServices);
        m_notice = FitNotice::notice(m_boxes, fits, filled);
        // It blocks nothing: a flyer may be made before the name is settled.
        if (filled.value(QStringLiteral("[BusinessName]")).trimmed().isEmpty())
            m_notice = m_notice.isEmpty() ? FitNotice::noNameNotice()
                                          : FitNotice::noNameNotice() + u"\n\n"_s + m_notice;
        const QString missing =
            FitNotice::missingCharactersNotice(filled, FontCoverage::installedFontHas);
        if (!missing.isEmpty())
            m_notice = m_notice.isEmpty() ? missing : m_notice + u"\n\n"_s + missing;
    });
    return !m_guard.lost() || endRun();
}

// The flyer's colours, in one pass over the filled document: after the
// picture, so that the business's own is greyed for printing too. The
// designed look is left untouched.
bool FillingRun::recolor()
{
    m_guard(208, [&] {
        const FlyerStyle::Look& look = FlyerStyle::look(m_order.style);
        // The template's shapes come first, the emblem gone for the own picture.
        const std::size_t templateShapes = m_shapes.size() - (m_ownPicture ? 1 : 0);
        if (look.style != FlyerStyle::Style::Earth)
            m_document->recolor(FlyerStyle::recoloring(look, m_ownPicture, templateShapes));
    });
    return !m_guard.lost() || endRun();
}

bool FillingRun::save()
{
    m_guard(220, [&] {
        m_documentPath = FlyerText::freeDocumentPath(Main::tempFolder(),
                                                     FlyerText::documentNameGenerator(), nameTaken);
    });
    const bool saved = m_guard(224, [&] {
        if (m_documentPath.isEmpty())
            throw Failure(QStringLiteral("No name could be found for the filled document."));
        m_document->saveAs(m_documentPath);
        // Everything after this reads the file, so an engine that reports
        // success without writing it has failed here.
        if (!Main::FileExists(m_documentPath))
            throw Failure(
                QStringLiteral("The filled document was not saved as %1.").arg(m_documentPath));
    });
    if (m_guard.lost())
        return endRun(m_documentPath);
    m_guard(226, [&] { m_word->setDisplayAlerts(false); });
    m_guard(228, [&] { m_document->close(); });
    m_guard(230, [&] { m_word->quit(); });
    m_guard(232, [&] { m_document.reset(); });
    m_guard(234, [&] { m_word.reset(); });
    m_guard(236, [&] { Main::DeleteFileQuietly(m_templatePath); });
    return saved || endRun(m_documentPath);
}

// The page picture is decoded once: the capture hands over the picture it
// wrote to "temp.bmp", and the file goes once the picture is in memory.
bool FillingRun::takePagePicture()
{
    const bool pictured = m_guard(238, [&] {
        m_picturePath = inTempFolder("temp.bmp");
        // A picture left by an earlier run must never pass for this one.
        Main::DeleteFileQuietly(m_picturePath);
        const auto& capture = pageCapture();
        m_page = capture ? capture(m_documentPath) : Snapshot::SaveDocAsJPG(m_documentPath);
    });
    const bool loaded =
        pictured && m_guard(240, [&] {
            if (!Main::FileExists(m_picturePath) || m_page.isNull())
                throw Failure(QStringLiteral("No picture of the filled page could be made, so "
                                             "there is nothing to preview."));
            // Shown at its size in logical pixels, with all the pixels it has.
            m_page.setDevicePixelRatio(PixelDensity::ratioOf(m_page));
        });
    if (loaded) {
        m_guard(250, [&] { Main::DeleteFileQuietly(m_picturePath); });
        return true;
    }
    Main::DeleteFileQuietly(m_picturePath);
    m_page = QImage();
    return endRun(m_documentPath);
}

} // namespace

FilledFlyer makeFlyer(const FlyerOrder& order)
{
    Guard guard{Procedure::Form1_PushButton6_Click};
    FillingRun run(guard, order);
    run.tellWhatIsCut();
    if (!(run.openTemplate() && run.leaveOutEmptyFields() && run.layOutServices() &&
          run.fillStories() && run.fillShapes() && run.placeTearOffCode() && run.placePicture() &&
          run.fitText() && run.recolor() && run.save()))
        return {};
    if (order.pagePicture && !run.takePagePicture())
        return {};
    return run.filled();
}

} // namespace TemplateFilling
