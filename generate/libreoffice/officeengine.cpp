#include "generate/libreoffice/officeengine.h"

#include "base/diskspace.h"
#include "base/failure.h"
#include "generate/libreoffice/officeconnection.h"
#include "generate/libreoffice/officepicture.h"
#include "generate/libreoffice/officeprocess.h"
#include "generate/libreoffice/textfit.h"
#include "generate/libreoffice/unotext.h"
#include "generate/pixeldensity.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>

#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/drawing/XShape.hpp>
#include <com/sun/star/drawing/XShapes.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextContent.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/text/XTextFrame.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <cmath>
#include <optional>
#include <unordered_map>
#include <unordered_set>

#include <signal.h>

using namespace com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;
using namespace Office;

namespace {

class OfficeDocument;

// The text of a floating object: only a real text frame has text; pictures
// are frames of another kind.
Reference<text::XText> frameText(const Reference<uno::XInterface>& object)
{
    Reference<text::XTextFrame> frame(object, UNO_QUERY);
    return frame.is() ? frame->getText() : Reference<text::XText>();
}

class OfficeReplacement final : public Word::Replacement
{
public:
    void clearFormatting() override {}
    void setText(const QString& text) override { m_text = text; }
    const QString& text() const { return m_text; }

private:
    QString m_text;
};

class OfficeRange;

class OfficeFind final : public Word::Find
{
public:
    explicit OfficeFind(OfficeRange& range) : m_range(range) {}

    void clearFormatting() override {}
    Word::Replacement& replacement() override { return m_replacement; }
    void setText(const QString& text) override { m_options.text = text; }
    void setForward(bool) override {}
    void setWrap(int) override {}
    void setFormat(bool) override {}
    void setMatchCase(bool matchCase) override { m_options.matchCase = matchCase; }
    void setMatchWholeWord(bool matchWholeWord) override
    {
        m_options.matchWholeWord = matchWholeWord;
    }
    void setMatchWildcards(bool matchWildcards) override { m_matchWildcards = matchWildcards; }
    void setMatchSoundsLike(bool) override {}
    void setMatchAllWordForms(bool) override {}

    void execute(int replace) override;
    void execute(const QString& findText, const QString& replaceWith, int replace) override
    {
        m_options.text = findText;
        m_replacement.setText(replaceWith);
        execute(replace);
    }

private:
    OfficeRange& m_range;
    OfficeReplacement m_replacement;
    FindOptions m_options;
    bool m_matchWildcards = false;
};

class OfficeDocument final : public Word::Document,
                             public std::enable_shared_from_this<OfficeDocument>
{
public:
    OfficeDocument(Session session, Reference<lang::XComponent> model)
        : m_session(std::move(session)), m_model(std::move(model))
    {}

    std::vector<std::shared_ptr<Word::Range>> storyRanges() override;
    std::vector<std::shared_ptr<Word::Shape>> shapes() override;
    std::shared_ptr<Word::Range> range() override;
    std::shared_ptr<Word::Shape> addPicture(const QString& fileName, const QRectF& place) override;

    std::vector<Word::TextFit> fitTextToShapes(const Word::TextFitLimits& limits) override
    {
        // Fitting measures the filled text: replacements still waiting go in first.
        settle();
        releaseLayout();
        return call([&] { return fitFrameTexts(m_model, limits, shapeTexts()); });
    }

    void saveAs(const QString& path) override
    {
        settle();
        releaseLayout();
        const QString target = QFileInfo(path).absoluteFilePath();
        storing(QFileInfo(target).absolutePath(), [&] {
            Reference<frame::XStorable> storable(m_model, UNO_QUERY_THROW);
            storable->storeToURL(fileUrl(target),
                                 properties({{"FilterName", uno::Any(OUString("MS Word 97"))},
                                             {"Overwrite", uno::Any(true)}}));
        });
        if (!QFileInfo(target).isFile())
            throw Failure(QStringLiteral("The document could not be saved as \"%1\".").arg(target));
    }

    void exportAsFixedFormat(const QString& path, int exportFormat) override
    {
        if (exportFormat != wdExportFormatPDF)
            throw Failure(QStringLiteral(
                              "The document can only be exported as PDF (format %1 was asked for).")
                              .arg(exportFormat));
        settle();
        releaseLayout();
        const QString target = QFileInfo(path).absoluteFilePath();
        call([&] {
            Reference<frame::XStorable> storable(m_model, UNO_QUERY_THROW);
            // The fonts go into the file, so it prints and shows the same
            // on a machine that lacks them.
            const auto filterData = properties({{"EmbedStandardFonts", uno::Any(true)}});
            storable->storeToURL(
                fileUrl(target),
                properties({{"FilterName", uno::Any(OUString("writer_pdf_Export"))},
                            {"FilterData", uno::Any(filterData)},
                            {"Overwrite", uno::Any(true)}}));
        });
        if (!QFileInfo(target).isFile())
            throw Failure(
                QStringLiteral("The document could not be exported as \"%1\".").arg(target));
    }

    void close() override
    {
        if (m_closed)
            throw Failure(QStringLiteral("The document is already closed."));
        try {
            releaseLayout();
        } catch (const Failure&) {
            // Closing below reports what is wrong with the office.
        }
        // What waits would change nothing anyone can see any more.
        m_waiting.reset();
        m_closed = true;
        m_texts.clear();
        m_stories.reset();
        m_shapeList.reset();
        m_search = SearchCache{};
        try {
            m_session.call([&] {
                Reference<util::XCloseable> closeable(m_model, UNO_QUERY);
                if (closeable.is())
                    closeable->close(true);
                else
                    m_model->dispose();
            });
        } catch (const Word::EngineLost&) {
            // An office that has gone cannot remove the lock file it keeps
            // beside a document open for editing; nobody else would.
            if (!m_lockFile.isEmpty())
                QFile::remove(m_lockFile);
            throw;
        }
    }
    void close(int) override { close(); }

    // The lock file the office keeps beside a document opened for editing.
    void setLockFile(const QString& documentPath)
    {
        const QFileInfo document(documentPath);
        m_lockFile = document.absolutePath() + QStringLiteral("/.~lock.") + document.fileName() +
                     QLatin1Char('#');
    }
    bool isOpen() const { return !m_closed; }

    // Renders the page as the office prints it, shapes included.
    void copyAsPicture()
    {
        QTemporaryDir folder;
        if (!folder.isValid()) {
            DiskSpace::throwIfFull(QDir::tempPath(), DiskSpace::temporaryFolderAdvice());
            throw Failure(QStringLiteral("No temporary folder for the page picture."));
        }
        const QString png = folder.filePath(QStringLiteral("page.png"));
        settle();
        // As many pixels as the sharpest screen shows in the page's place.
        const qreal density = PixelDensity::screenRatio();
        const QSize wanted(int(std::lround(kPagePictureWidth * density)),
                           int(std::lround(kPagePictureHeight * density)));
        releaseLayout();
        storing(QDir::tempPath(), [&] { storePagePicture(m_model, png, wanted); });
        QImage picture(png);
        if (picture.isNull())
            throw Failure(QStringLiteral("The office made no picture of the page."));
        // The export rounds the size it is asked for up by a pixel now and then.
        if (picture.size() != wanted)
            picture = picture.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        PixelDensity::mark(picture, density);
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            throw Failure(QStringLiteral("There is no clipboard to copy the picture to."));
        QGuiApplication::clipboard()->setImage(picture);
    }

    // A store into `folder`: the office's store error on a full disk is a
    // code, so the disk is asked when it fails.
    template <typename Step> void storing(const QString& folder, Step&& step)
    {
        try {
            call(std::forward<Step>(step));
        } catch (const Word::EngineLost&) {
            throw;
        } catch (const Failure&) {
            DiskSpace::throwIfFull(folder, DiskSpace::temporaryFolderAdvice());
            throw;
        }
    }

    template <typename Step> auto call(Step&& step) -> decltype(step())
    {
        if (m_closed)
            throw Failure(QStringLiteral("The document is closed."));
        return m_session.call(std::forward<Step>(step));
    }

    Reference<lang::XComponent> model() const { return m_model; }

    // The floating shapes, each with its text (empty for a shape without
    // text), read once until a picture is added or a shape removed: a filling
    // run asks for them several times.
    using ShapeList = std::vector<std::pair<Reference<uno::XInterface>, Reference<text::XText>>>;
    const ShapeList& shapeList()
    {
        if (!m_shapeList)
            m_shapeList = call([&] {
                ShapeList list;
                for (const auto& object : floatingShapeObjects(m_model))
                    list.emplace_back(object, frameText(object));
                return list;
            });
        call([] {}); // still fails on a closed document or a dead office
        return *m_shapeList;
    }

    std::vector<Reference<text::XText>> shapeTexts()
    {
        std::vector<Reference<text::XText>> texts;
        for (const auto& entry : shapeList())
            texts.push_back(entry.second);
        return texts;
    }

    void forgetShapes() { m_shapeList.reset(); }

    // The text of one of this document's texts, remembered until it changes
    // through forgetText(): every change goes through this adapter.
    QString textOf(const Reference<text::XText>& text)
    {
        const auto known = m_texts.find(text.get());
        if (known != m_texts.end()) {
            checkUsable();
            return known->second.second;
        }
        QString value = call([&] { return toQString(text->getString()); });
        m_texts.emplace(text.get(), std::make_pair(text, value));
        return value;
    }
    void forgetText(const Reference<text::XText>& text) { m_texts.erase(text.get()); }

    // Fails as a call would on a closed document or a gone office, without
    // asking the office anything.
    void checkUsable()
    {
        if (m_closed)
            throw Failure(QStringLiteral("The document is closed."));
        m_session.connection->checkGeneration(m_session.generation);
    }

    // Word replaces story by story; the office replaces in every story at once,
    // in one call instead of about a dozen per occurrence. A filling run asks
    // every story for the same replace-all in turn, so the replacement waits
    // here until the document is asked anything else (settle()); by then every
    // story that holds the text has usually asked, and one call does them all.
    bool joinsWaitingReplace(const Reference<text::XText>& text, const FindOptions& options,
                             const QString& replacement) const
    {
        return m_waiting && m_waiting->options.text == options.text &&
               m_waiting->options.matchCase == options.matchCase &&
               m_waiting->options.matchWholeWord == options.matchWholeWord &&
               m_waiting->replacement == replacement && m_waiting->texts.count(text.get()) == 0;
    }
    void replaceAllLater(const Reference<text::XText>& text, const FindOptions& options,
                         const QString& replacement)
    {
        if (!joinsWaitingReplace(text, options, replacement))
            settle();
        if (!m_waiting)
            m_waiting = WaitingReplace{options, replacement, {}};
        m_waiting->texts.emplace(text.get(), text);
    }
    // Carries out the replacement that waits, if any.
    void settle()
    {
        if (!m_waiting)
            return;
        const WaitingReplace waiting = std::move(*m_waiting);
        m_waiting.reset();
        holdLayout();
        const bool everyHolderAsked = call([&] {
            for (const auto& story : stories()) {
                if (waiting.texts.count(story.get()) == 0 &&
                    mayContain(textOf(story), waiting.options))
                    return false;
            }
            return true;
        });
        int expected = 0;
        for (const auto& [key, text] : waiting.texts) {
            expected += textOf(text).count(waiting.options.text, waiting.options.matchCase
                                                                     ? Qt::CaseSensitive
                                                                     : Qt::CaseInsensitive);
            forgetText(text);
        }
        if (!everyHolderAsked) {
            call([&] {
                for (const auto& [key, text] : waiting.texts)
                    replaceHits(text, occurrencesIn(text, waiting.options), waiting.replacement,
                                ReplaceMode::All);
            });
            return;
        }
        const int replaced = call(
            [&] { return replaceAllInDocument(m_model, waiting.options, waiting.replacement); });
        // The office matched where this program's reading of the texts did
        // not: what else it changed is unknown, so every text is read afresh.
        if (replaced != expected)
            m_texts.clear();
    }

    // The document's stories, read once: no operation offered here adds or
    // removes one.
    const std::vector<Reference<text::XText>>& stories()
    {
        if (!m_stories)
            m_stories = call([&] { return storyTexts(m_model); });
        return *m_stories;
    }

    // The occurrences of options.text in `text`. A filling run asks every
    // story for the same text in turn; one search of the document serves them
    // all, as the found ranges follow the edits made in other texts. A text
    // asked again gets a fresh search, since its own edits may have made new
    // occurrences. Call inside call().
    std::vector<Reference<text::XTextRange>> occurrencesIn(const Reference<text::XText>& text,
                                                           const FindOptions& options)
    {
        const Reference<uno::XInterface> owner(text, UNO_QUERY);
        SearchCache& cache = m_search;
        const bool same = cache.valid && cache.options.text == options.text &&
                          cache.options.matchCase == options.matchCase &&
                          cache.options.matchWholeWord == options.matchWholeWord;
        if (!same || cache.served.count(owner.get()) > 0) {
            cache = SearchCache{};
            cache.hits = findInDocument(m_model, options);
            cache.options = options;
            cache.valid = true;
        }
        cache.served.insert(owner.get());
        std::vector<Reference<text::XTextRange>> result;
        for (const TextHit& hit : cache.hits) {
            if (hit.text.get() == owner.get())
                result.push_back(hit.range);
        }
        return result;
    }

    // Every edit lays the page out again unless the controllers are locked;
    // a filling run makes dozens of edits, so the layout waits until something
    // needs it (saving, the picture, reading positions, closing).
    void holdLayout()
    {
        if (m_layoutHeld)
            return;
        call([&] { Reference<frame::XModel>(m_model, UNO_QUERY_THROW)->lockControllers(); });
        m_layoutHeld = true;
    }
    void releaseLayout()
    {
        if (!m_layoutHeld)
            return;
        m_layoutHeld = false;
        call([&] { Reference<frame::XModel>(m_model, UNO_QUERY_THROW)->unlockControllers(); });
    }

private:
    Session m_session;
    Reference<lang::XComponent> m_model;
    std::optional<std::vector<Reference<text::XText>>> m_stories;
    std::optional<ShapeList> m_shapeList;
    // Keyed by the proxy, which the bridge keeps one of per object and
    // interface; the entry holds the proxy so that its address stays its own.
    std::unordered_map<const void*, std::pair<Reference<text::XText>, QString>> m_texts;
    struct SearchCache
    {
        bool valid = false;
        FindOptions options;
        std::vector<TextHit> hits;
        std::unordered_set<const void*> served;
    };
    SearchCache m_search;
    struct WaitingReplace
    {
        FindOptions options;
        QString replacement;
        std::unordered_map<const void*, Reference<text::XText>> texts;
    };
    std::optional<WaitingReplace> m_waiting;
    bool m_closed = false;
    bool m_layoutHeld = false;
    QString m_lockFile;
};

class OfficeRange final : public Word::Range
{
public:
    OfficeRange(std::shared_ptr<OfficeDocument> document, Reference<text::XText> text)
        : m_document(std::move(document)), m_text(std::move(text)), m_find(*this)
    {}

    Word::Find& find() override { return m_find; }
    QString text() override
    {
        m_document->settle();
        return m_document->textOf(m_text);
    }
    void copyAsPicture() override { m_document->copyAsPicture(); }

    OfficeDocument& document() { return *m_document; }
    const Reference<text::XText>& unoText() const { return m_text; }

private:
    std::shared_ptr<OfficeDocument> m_document;
    Reference<text::XText> m_text;
    OfficeFind m_find;
};

void OfficeFind::execute(int replace)
{
    if (m_matchWildcards)
        throw Failure(QStringLiteral("Searching with wildcards is not supported."));
    const QString replacement = storableText(m_replacement.text());
    FindOptions options = m_options;
    options.text = storableText(options.text);
    auto& range = m_range;
    if (options.text.isEmpty())
        return;
    OfficeDocument& document = range.document();
    const ReplaceMode mode = replace == Word::Find::wdReplaceAll ? ReplaceMode::All
                             : replace == 1                      ? ReplaceMode::First
                                                                 : ReplaceMode::None;
    // The replacement of other stories that waits leaves this one as it is.
    if (mode != ReplaceMode::All ||
        !document.joinsWaitingReplace(range.unoText(), options, replacement))
        document.settle();
    // A filling run asks every range for every token; most ranges lack most
    // tokens, and the office would search the whole document to find that out.
    if (!mayContain(document.textOf(range.unoText()), options))
        return;
    // The office's own replace-all would keep a line break inside its paragraph.
    const bool breaksLines =
        replacement.contains(QLatin1Char('\r')) || replacement.contains(QLatin1Char('\n'));
    if (mode == ReplaceMode::All && !breaksLines) {
        document.replaceAllLater(range.unoText(), options, replacement);
        return;
    }
    document.forgetText(range.unoText());
    document.holdLayout();
    document.call([&] {
        replaceHits(range.unoText(), document.occurrencesIn(range.unoText(), options), replacement,
                    mode);
    });
}

class OfficeTextFrame final : public Word::TextFrame
{
public:
    OfficeTextFrame(std::shared_ptr<OfficeDocument> document, Reference<text::XText> text)
        : m_document(std::move(document)), m_text(std::move(text))
    {}

    // A shape that cannot hold text (a picture, a group of lines) has none.
    bool hasText() override
    {
        if (!m_text.is())
            return false;
        m_document->settle();
        return !m_document->textOf(m_text).isEmpty();
    }
    std::shared_ptr<Word::Range> textRange() override
    {
        if (!m_text.is())
            throw Failure(QStringLiteral("This shape cannot hold text."));
        return std::make_shared<OfficeRange>(m_document, m_text);
    }

private:
    std::shared_ptr<OfficeDocument> m_document;
    Reference<text::XText> m_text;
};

class OfficeShape final : public Word::Shape
{
public:
    OfficeShape(std::shared_ptr<OfficeDocument> document, Reference<uno::XInterface> object,
                Reference<text::XText> text)
        : m_document(std::move(document)), m_object(std::move(object)), m_text(std::move(text))
    {}
    std::shared_ptr<Word::TextFrame> textFrame() override
    {
        return std::make_shared<OfficeTextFrame>(m_document, m_text);
    }
    int type() override
    {
        return m_document->call([&] { return officeShapeType(m_object); });
    }
    QRectF place() override
    {
        return m_document->call([&] { return officeShapePlace(m_object); });
    }
    void remove() override
    {
        m_document->call([&] { removeOfficeShape(m_object); });
        m_document->forgetShapes();
    }

private:
    std::shared_ptr<OfficeDocument> m_document;
    Reference<uno::XInterface> m_object;
    Reference<text::XText> m_text;
};

std::vector<std::shared_ptr<Word::Range>> OfficeDocument::storyRanges()
{
    // Asked for once per token: the replacement of the previous one is complete.
    settle();
    checkUsable();
    std::vector<std::shared_ptr<Word::Range>> result;
    for (const auto& text : stories())
        result.push_back(std::make_shared<OfficeRange>(shared_from_this(), text));
    return result;
}

std::vector<std::shared_ptr<Word::Shape>> OfficeDocument::shapes()
{
    settle();
    const auto& found = shapeList();
    std::vector<std::shared_ptr<Word::Shape>> result;
    for (const auto& [object, text] : found)
        result.push_back(std::make_shared<OfficeShape>(shared_from_this(), object, text));
    return result;
}

std::shared_ptr<Word::Shape> OfficeDocument::addPicture(const QString& fileName,
                                                        const QRectF& place)
{
    if (!QFileInfo(fileName).isFile())
        throw Failure(QStringLiteral("The picture \"%1\" was not found.").arg(fileName));
    return call([&]() -> std::shared_ptr<Word::Shape> {
        const auto picture =
            addOfficePicture(m_session.connection->context(), m_model, fileUrl(fileName), place);
        forgetShapes();
        return std::make_shared<OfficeShape>(shared_from_this(), picture, frameText(picture));
    });
}

std::shared_ptr<Word::Range> OfficeDocument::range()
{
    settle();
    auto body = call([&] {
        Reference<text::XTextDocument> document(m_model, UNO_QUERY_THROW);
        return document->getText();
    });
    return std::make_shared<OfficeRange>(shared_from_this(), body);
}

class OfficeApplication;

class OfficeDocuments final : public Word::Documents
{
public:
    explicit OfficeDocuments(OfficeApplication& application) : m_application(application) {}
    std::shared_ptr<Word::Document> open(const QString& path) override { return open(path, false); }
    std::shared_ptr<Word::Document> open(const QString& path, bool readOnly) override;

private:
    OfficeApplication& m_application;
};

class OfficeApplication final : public Word::Application
{
public:
    explicit OfficeApplication(Session session) : m_session(std::move(session)), m_documents(*this)
    {}
    ~OfficeApplication() override
    {
        // An application released without quit still gives its documents back.
        try {
            if (!m_quit)
                quit();
        } catch (...) {
        }
    }
    Q_DISABLE_COPY_MOVE(OfficeApplication)

    Word::Documents& documents() override { return m_documents; }

    Reference<uno::XComponentContext> context()
    {
        checkRunning();
        m_session.connection->checkGeneration(m_session.generation);
        return m_session.connection->context();
    }

    std::shared_ptr<Word::Document> activeDocument() override
    {
        checkRunning();
        for (auto it = m_opened.rbegin(); it != m_opened.rend(); ++it) {
            if ((*it)->isOpen())
                return *it;
        }
        throw Failure(QStringLiteral("This command is not available because no document is open."));
    }

    // Alerts are never shown by the hidden office; the switch has nothing to do.
    void setDisplayAlerts(bool) override { checkRunning(); }

    QString name() override { return productSetting("ooName"); }
    QString version() override { return productSetting("ooSetupVersionAboutBox"); }

    void quit() override
    {
        checkRunning();
        m_quit = true;
        struct Closed
        {
            Session& session;
            ~Closed() { session.connection->applicationClosed(session.generation); }
        } closed{m_session};
        QString firstProblem;
        for (const auto& document : m_opened) {
            if (!document->isOpen())
                continue;
            try {
                document->close();
            } catch (const Failure& failure) {
                if (firstProblem.isEmpty())
                    firstProblem = failure.description();
            }
        }
        m_opened.clear();
        if (!firstProblem.isEmpty())
            throw Failure(firstProblem);
    }

    std::shared_ptr<Word::Document> open(const QString& path, bool readOnly)
    {
        checkRunning();
        const QFileInfo file(path);
        if (!file.isFile())
            throw Failure(QStringLiteral("The file \"%1\" was not found.").arg(path));
        auto model = m_session.call([&] {
            Reference<frame::XComponentLoader> loader(m_session.connection->desktop(),
                                                      UNO_QUERY_THROW);
            Reference<lang::XComponent> component = loader->loadComponentFromURL(
                fileUrl(file.absoluteFilePath()), "_blank", 0,
                properties({{"Hidden", uno::Any(true)},
                            {"ReadOnly", uno::Any(readOnly)},
                            {"AsTemplate", uno::Any(false)},
                            {"MacroExecutionMode",
                             uno::Any(sal_Int16(document::MacroExecMode::NEVER_EXECUTE))}}));
            // Any bytes at all open as plain text, so a damaged or foreign file
            // would pass for a document and be filled as one.
            if (component.is() && (!Reference<text::XTextDocument>(component, UNO_QUERY).is() ||
                                   readAsPlainText(component))) {
                component->dispose();
                component.clear();
            }
            return component;
        });
        if (!model.is())
            throw Failure(QStringLiteral("The file \"%1\" could not be opened as a text document.")
                              .arg(path));
        auto document = std::make_shared<OfficeDocument>(m_session, model);
        if (!readOnly)
            document->setLockFile(file.absoluteFilePath());
        m_opened.push_back(document);
        return document;
    }

private:
    // One value of the office's own product description.
    QString productSetting(const char* key)
    {
        checkRunning();
        return m_session.call([&] {
            const auto provider =
                configuration::theDefaultProvider::get(m_session.connection->context());
            const uno::Any node(
                beans::NamedValue("nodepath", uno::Any(OUString("/org.openoffice.Setup/Product"))));
            Reference<container::XNameAccess> product(
                provider->createInstanceWithArguments(
                    "com.sun.star.configuration.ConfigurationAccess",
                    uno::Sequence<uno::Any>(&node, 1)),
                UNO_QUERY_THROW);
            return toQString(product->getByName(OUString::createFromAscii(key)).get<OUString>());
        });
    }

    void checkRunning()
    {
        if (m_quit)
            throw Failure(QStringLiteral("The document engine has already quit."));
    }

    Session m_session;
    OfficeDocuments m_documents;
    std::vector<std::shared_ptr<OfficeDocument>> m_opened;
    bool m_quit = false;
};

std::shared_ptr<Word::Document> OfficeDocuments::open(const QString& path, bool readOnly)
{
    return m_application.open(path, readOnly);
}

class OfficeEngine final : public Word::Engine
{
public:
    explicit OfficeEngine(OfficeEngineLimits limits)
        : m_connection(std::make_shared<Connection>(limits))
    {
        // Writing to the pipe of an office that has just died raises SIGPIPE,
        // which would end the program; the failed write is reported as a
        // failed call instead.
        struct sigaction current
        {
        };
        if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            ::signal(SIGPIPE, SIG_IGN);
    }
    ~OfficeEngine() override { m_connection->shutdown(); }
    Q_DISABLE_COPY_MOVE(OfficeEngine)

    std::shared_ptr<Word::Application> createApplication() override
    {
        Session session{m_connection, 0};
        try {
            session.generation = m_connection->connect();
        } catch (const uno::Exception& e) {
            throw Failure(describeUnoException(e));
        }
        m_connection->applicationOpened();
        return std::make_shared<OfficeApplication>(std::move(session));
    }

    void prepare() override { m_connection->prepare(); }
    QString unavailableText() const override { return OfficeProcess::unavailableText(); }
    void warmUp(const QByteArray& sample) override { m_connection->warmUp(sample); }

private:
    std::shared_ptr<Connection> m_connection;
};

} // namespace

QString storableText(const QString& text)
{
    QString result;
    result.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < size &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            result += text.at(i);
            result += text.at(++i);
            continue;
        }
        const bool control =
            (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || (c >= 0x7f && c <= 0x9f);
        if (control || QChar::isSurrogate(c) || c == 0xfffe || c == 0xffff)
            continue;
        result += QChar(c);
    }
    return result;
}

std::shared_ptr<Word::Engine> createOfficeEngine(OfficeEngineLimits limits)
{
    return std::make_shared<OfficeEngine>(limits);
}

namespace Office {

void withDocumentModel(Word::Document& document,
                       const std::function<void(const Reference<lang::XComponent>&)>& step)
{
    auto* office = dynamic_cast<OfficeDocument*>(&document);
    if (!office)
        throw Failure(QStringLiteral("The document does not belong to the office engine."));
    office->settle();
    office->releaseLayout();
    office->call([&] { step(office->model()); });
}

} // namespace Office

Reference<uno::XComponentContext> officeContext(Word::Application& application)
{
    auto* office = dynamic_cast<OfficeApplication*>(&application);
    if (!office)
        throw Failure(QStringLiteral("The application does not belong to the office engine."));
    return office->context();
}
