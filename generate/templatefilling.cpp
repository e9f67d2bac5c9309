#include "generate/templatefilling.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/errorreport.h"
#include "base/failure.h"
#include "base/flyerfields.h"
#include "base/mainmodule.h"
#include "generate/fitnotice.h"
#include "generate/flyertext.h"
#include "generate/tearoffcode.h"
#include "generate/word.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>

#include <memory>
#include <vector>

namespace TemplateFilling {

namespace {
std::function<QByteArray()>& templateSource()
{
    static std::function<QByteArray()> source;
    return source;
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
    const QByteArray bytes = file.readAll();
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

void PushButton6_Click(GenerationHost& host)
{
    Guard guard{Procedure::Form1_PushButton6_Click};

    if (guard.test(100, [&] { return host.generating(); }))
        return;
    guard(102, [&] { host.setGenerating(true); });
    guard(104, [&] { host.setMousePointer(PointerSetting::Hourglass); });

    // Text far beyond what the flyer can show is not laid out (that could
    // take minutes); the user hears before the run what is left out.
    auto fieldText = [&](int i) { return FlyerText::laidOutText(host.fieldText(i)); };
    {
        QList<FitNotice::Cut> cuts;
        for (int i = 0; i < FlyerFields::kFieldCount; ++i) {
            const QString text = host.fieldText(i);
            if (text.size() > FlyerText::kLaidOutCharacters)
                cuts.append({host.fieldToken(i), FlyerText::laidOutText(text).size(), text.size()});
        }
        const FlyerText::ServiceColumns columns = FlyerText::servicesColumns(host.services());
        for (const auto& [token, column] :
             {std::pair{QStringLiteral("[Services1]"), columns.first},
              std::pair{QStringLiteral("[Services2]"), columns.second}}) {
            const QString kept = FlyerText::laidOutColumn(column);
            if (kept == column)
                continue;
            // A first item longer than the limit is cut within, like a field.
            if (kept.endsWith(QLatin1Char('\r')))
                cuts.append(
                    {token, kept.count(QLatin1Char('\r')), column.count(QLatin1Char('\r')), true});
            else
                cuts.append({token, kept.size(), column.size()});
        }
        const QString scheduled = FlyerText::scheduledServicesText(host.scheduledServices());
        if (scheduled.size() > FlyerText::kLaidOutCharacters)
            cuts.append({QStringLiteral("[ScheduledServices]"),
                         FlyerText::laidOutText(scheduled).size(), scheduled.size()});
        const QString notice = FitNotice::cutNotice(cuts);
        if (!notice.isEmpty())
            Dialogs::current().message(QString::fromLatin1(kDisplayName), notice);
    }

    QString templatePath;
    std::shared_ptr<Word::Application> word;
    std::shared_ptr<Word::Document> document;

    // Ends a run that cannot produce a preview: the one error box has been
    // shown; nothing after it could succeed, so no further boxes and no empty
    // preview. Files of the run go, the main window stays as it is.
    auto endRun = [&](const QString& orphanedDocument) {
        document.reset();
        if (word) {
            try {
                word->quit();
            } catch (...) {
                // The user has seen why the run stopped; a session that will
                // not quit is released below all the same.
            }
            word.reset();
        }
        Main::DeleteFileQuietly(templatePath);
        Main::DeleteFileQuietly(orphanedDocument);
        guard(242, [&] { host.setMousePointer(PointerSetting::Default); });
        guard(252, [&] { host.setGenerating(false); });
    };

    QByteArray templateBytes;
    if (!guard(106, [&] { templateBytes = embeddedTemplate(); }))
        return endRun({});
    const bool templateWritten = guard(108, [&] {
        templatePath = inTempFolder("template.dot");
        if (!Main::FileExists(templatePath))
            Main::WriteFileIfAbsent(templateBytes, templatePath);
    });
    if (!templateWritten)
        return endRun({});
    const bool started = guard(110, [&] {
        word = Word::CreateApplication();
        if (!word)
            throw Failure(QStringLiteral("The document engine did not start."));
    });
    if (!started)
        return endRun({});
    guard(112, [&] { templatePath = inTempFolder("template.dot"); });
    const bool opened = guard(114, [&] {
        document = word->documents().open(templatePath, true);
        if (!document)
            throw Failure(QStringLiteral("The flyer template could not be opened."));
    });
    if (!opened)
        return endRun({});

    // Which box holds which tokens, read before they are replaced, so that
    // the notice can name the fields of a box that does not fit.
    std::vector<FitNotice::Box> boxes;
    guard(152, [&] {
        for (const auto& shape : document->shapes()) {
            const auto frame = shape->textFrame();
            boxes.push_back({frame->hasText() ? frame->textRange()->text() : QString()});
        }
    });
    if (guard.lost())
        return endRun({});

    QString services1;
    QString services2;
    QString scheduledServices;
    guard(116, [&] { services1.clear(); });
    guard(118, [&] { services2.clear(); });
    guard(120, [&] {
        const FlyerText::ServiceColumns columns = FlyerText::servicesColumns(host.services());
        services1 = FlyerText::laidOutColumn(columns.first);
        services2 = FlyerText::laidOutColumn(columns.second);
    });
    guard(140, [&] {
        scheduledServices =
            FlyerText::laidOutText(FlyerText::scheduledServicesText(host.scheduledServices()));
    });

    // Every story, field by field in index order: a field text that contains
    // the token of a later field is filled in turn by that field.
    for (int i = 0; i < FlyerFields::kFieldCount; ++i) {
        const auto ranges = guard.value(154, std::vector<std::shared_ptr<Word::Range>>{},
                                        [&] { return document->storyRanges(); });
        if (guard.lost())
            return endRun({});
        for (const auto& range : ranges) {
            Word::Find* const find =
                guard.value(156, static_cast<Word::Find*>(nullptr), [&] { return &range->find(); });
            if (!find)
                continue;
            guard(158, [&] { find->clearFormatting(); });
            guard(160, [&] { find->replacement().clearFormatting(); });
            guard(162, [&] { find->setText(host.fieldToken(i)); });
            guard(164, [&] { find->replacement().setText(fieldText(i)); });
            guard(168, [&] { find->setForward(true); });
            guard(170, [&] { find->setWrap(Word::Find::wdFindContinue); });
            guard(172, [&] { find->setFormat(false); });
            guard(174, [&] { find->setMatchCase(false); });
            guard(176, [&] { find->setMatchWholeWord(false); });
            guard(178, [&] { find->setMatchWildcards(false); });
            guard(180, [&] { find->setMatchSoundsLike(false); });
            guard(182, [&] { find->setMatchAllWordForms(false); });
            guard(184, [&] { find->execute(Word::Find::wdReplaceAll); });
            if (guard.lost())
                return endRun({});
        }
    }

    // Then every text box again, with the service tokens added.
    const auto shapes = guard.value(190, std::vector<std::shared_ptr<Word::Shape>>{},
                                    [&] { return document->shapes(); });
    if (guard.lost())
        return endRun({});
    for (const auto& shape : shapes) {
        const bool hasText = guard.test(192, [&] { return shape->textFrame()->hasText(); });
        if (guard.lost())
            return endRun({});
        if (!hasText)
            continue;
        auto replaceAll = [&](const QString& token, const QString& text) {
            shape->textFrame()->textRange()->find().execute(token, text, Word::Find::wdReplaceAll);
        };
        for (int i = 0; i < FlyerFields::kFieldCount && !guard.lost(); ++i)
            guard(196, [&] { replaceAll(host.fieldToken(i), fieldText(i)); });
        if (!guard.lost())
            guard(200, [&] { replaceAll(QStringLiteral("[Services1]"), services1); });
        if (!guard.lost())
            guard(202, [&] { replaceAll(QStringLiteral("[Services2]"), services2); });
        if (!guard.lost())
            guard(204,
                  [&] { replaceAll(QStringLiteral("[ScheduledServices]"), scheduledServices); });
        if (guard.lost())
            return endRun({});
    }

    // The tabs' code, when one was chosen, before the tabs' text is fitted;
    // without one the tabs stay as the template has them.
    const QString code = guard.value(205, QString(), [&] { return host.tearOffCode(); });
    if (!code.isEmpty())
        guard(205, [&] {
            QStringList templateTexts;
            for (const auto& box : boxes)
                templateTexts << box.templateText;
            const int added = TearOffCode::placeOnTabs(*document, shapes, templateTexts, code,
                                                       Main::tempFolder());
            boxes.insert(boxes.end(), std::size_t(added), FitNotice::Box{});
        });
    if (guard.lost())
        return endRun({});

    // The business's own picture, when one was chosen; without one the
    // template's picture stays untouched.
    const QString picture = guard.value(206, QString(), [&] { return host.flyerPicture(); });
    if (!picture.isEmpty())
        guard(206, [&] {
            const std::size_t replaced = placeFlyerPicture(*document, shapes, picture);
            // The template's picture has left the list of shapes and the
            // chosen one come last, in front of everything: the boxes
            // follow, so that they stay beside their fits below.
            if (replaced < boxes.size()) {
                boxes.erase(boxes.begin() + std::ptrdiff_t(replaced));
                boxes.push_back({});
            }
        });
    if (guard.lost())
        return endRun({});

    // Text that overflows its box is made smaller before the document is
    // saved, so that the saved document looks like the preview; after the
    // picture, so that fitting sees the document as it is saved.
    QString notice;
    guard(207, [&] {
        const auto fits = document->fitTextToShapes(kFitLimits);
        QHash<QString, QString> filled;
        for (int i = 0; i < FlyerFields::kFieldCount; ++i)
            filled.insert(host.fieldToken(i), fieldText(i));
        filled.insert(QStringLiteral("[Services1]"), services1);
        filled.insert(QStringLiteral("[Services2]"), services2);
        filled.insert(QStringLiteral("[ScheduledServices]"), scheduledServices);
        notice = FitNotice::notice(boxes, fits, filled);
    });
    if (guard.lost())
        return endRun({});

    QString documentPath;
    guard(220, [&] {
        documentPath = FlyerText::freeDocumentPath(Main::tempFolder(),
                                                   FlyerText::documentNameGenerator(), nameTaken);
    });
    const bool saved = guard(224, [&] {
        if (documentPath.isEmpty())
            throw Failure(QStringLiteral("No name could be found for the filled document."));
        document->saveAs(documentPath);
        // Everything after this reads the file, so an engine that reports
        // success without writing it has failed here.
        if (!Main::FileExists(documentPath))
            throw Failure(
                QStringLiteral("The filled document was not saved as %1.").arg(documentPath));
    });
    if (guard.lost())
        return endRun(documentPath);
    guard(226, [&] { word->setDisplayAlerts(false); });
    guard(228, [&] { document->close(); });
    guard(230, [&] { word->quit(); });
    guard(232, [&] { document.reset(); });
    guard(234, [&] { word.reset(); });
    guard(236, [&] { Main::DeleteFileQuietly(templatePath); });
    if (!saved)
        return endRun(documentPath);
    if (!host.showsPreview()) {
        guard(244, [&] {
            host.setPreviewWordFile(documentPath);
            host.setPreviewNotice(notice);
        });
        guard(242, [&] { host.setMousePointer(PointerSetting::Default); });
        guard(252, [&] { host.setGenerating(false); });
        return;
    }

    QString picturePath;
    const bool pictured = guard(238, [&] {
        picturePath = inTempFolder("temp.bmp");
        // A picture left by an earlier run must never pass for this one.
        Main::DeleteFileQuietly(picturePath);
        host.SaveDocAsJPG(documentPath);
    });
    const bool loaded =
        pictured && guard(240, [&] {
            if (!Main::FileExists(picturePath))
                throw Failure(QStringLiteral("No picture of the filled page could be made, so "
                                             "there is nothing to preview."));
            host.loadPreviewPicture(picturePath);
        });
    if (!loaded) {
        Main::DeleteFileQuietly(picturePath);
        return endRun(documentPath);
    }
    guard(242, [&] { host.setMousePointer(PointerSetting::Default); });
    guard(244, [&] {
        host.setPreviewWordFile(documentPath);
        host.setPreviewNotice(notice);
    });
    const bool shown = guard(246, [&] { host.showPreview(); });
    // Hiding the main window without a preview in its place would leave the
    // user with no window at all.
    if (shown)
        guard(248, [&] { host.hideMainWindow(); });
    guard(250, [&] { Main::DeleteFileQuietly(picturePath); });
    guard(252, [&] { host.setGenerating(false); });
}

} // namespace TemplateFilling
