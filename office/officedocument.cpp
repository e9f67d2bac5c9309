#include "office/officedocument.h"

#include "base/clipboardpicture.h"
#include "base/diskspace.h"
#include "base/failure.h"
#include "generate/pixeldensity.h"
#include "office/officecolors.h"
#include "office/officeengine.h"
#include "office/officepicture.h"
#include "office/textfit.h"
#include "office/unonames.h"
#include "office/unotext.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImage>
#include <QTemporaryDir>

#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/text/XTextDocument.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <algorithm>
#include <cmath>

namespace Office {

namespace {

constexpr int kNoCompression = 0;

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
        return m_document->texts().textOf(m_text);
    }
    void copyAsPicture() override { m_document->copyAsPicture(); }
    void setText(const QString& text) override
    {
        m_document->settle();
        m_document->texts().forget(m_text);
        m_document->frameTextSet(m_text);
        m_document->calls().holdLayout();
        m_document->call([&] { replaceWholeText(m_text, storableText(text)); });
    }

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
    DocumentTexts& texts = document.texts();
    const ReplaceMode mode = replace == Word::Find::wdReplaceAll ? ReplaceMode::All
                             : replace == 1                      ? ReplaceMode::First
                                                                 : ReplaceMode::None;
    // The replacement of other stories that waits leaves this one as it is.
    if (mode != ReplaceMode::All || !document.later().joins(range.unoText(), options, replacement))
        document.settle();
    // A filling run asks every range for every token; most ranges lack most
    // tokens, and the office would search the whole document to find that out.
    if (!mayContain(texts.textOf(range.unoText()), options))
        return;
    if (mode == ReplaceMode::All && replacesAllAtOnce(replacement)) {
        document.later().add(range.unoText(), options, replacement);
        return;
    }
    texts.forget(range.unoText());
    document.calls().holdLayout();
    document.call([&] {
        replaceHits(range.unoText(), texts.occurrencesIn(range.unoText(), options), replacement,
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
        return !m_document->texts().textOf(m_text).isEmpty();
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
        if (const auto known = m_document->knownPlace(m_object))
            return *known;
        return m_document->call([&] { return officeShapePlace(m_object, m_text.is()); });
    }
    void remove() override
    {
        m_document->call([&] { removeOfficeShape(m_object); });
        m_document->shapeCache().forget();
    }
    void setHeight(double points) override
    {
        m_document->calls().holdLayout();
        const sal_Int32 height =
            m_document->call([&] { return setOfficeShapeHeight(m_object, points); });
        m_document->frameHeightChanged(m_object, m_text, height);
    }

private:
    std::shared_ptr<OfficeDocument> m_document;
    Reference<uno::XInterface> m_object;
    Reference<text::XText> m_text;
};

} // namespace

void OfficeDocument::frameHeightChanged(const Reference<uno::XInterface>& object,
                                        const Reference<text::XText>& text, sal_Int32 height)
{
    const auto shape = m_frameShapes.find(text.get());
    if (shape != m_frameShapes.end())
        shape->second.second.height = height;
    const auto place = m_places.find(object.get());
    if (place != m_places.end())
        place->second.second.setHeight(officePoints(height));
}

std::vector<std::shared_ptr<Word::Range>> OfficeDocument::storyRanges()
{
    // Asked for once per token: the replacement of the previous one is complete.
    settle();
    m_calls.checkUsable();
    std::vector<std::shared_ptr<Word::Range>> result;
    for (const auto& text : m_texts.stories())
        result.push_back(std::make_shared<OfficeRange>(shared_from_this(), text));
    return result;
}

std::vector<std::shared_ptr<Word::Shape>> OfficeDocument::shapes()
{
    settle();
    const auto& found = m_shapes.list();
    std::vector<std::shared_ptr<Word::Shape>> result;
    for (const auto& [object, text] : found)
        result.push_back(std::make_shared<OfficeShape>(shared_from_this(), object, text));
    return result;
}

std::shared_ptr<Word::Shape> OfficeDocument::addPicture(const QString& fileName,
                                                        const QRectF& place)
{
    return addPictures(fileName, {place}).front();
}

std::vector<std::shared_ptr<Word::Shape>>
OfficeDocument::addPictures(const QString& fileName, const std::vector<QRectF>& places)
{
    if (!QFileInfo(fileName).isFile())
        throw Failure(QStringLiteral("The picture \"%1\" was not found.").arg(fileName));
    // Pictures come in a row (the tear-off tabs' codes, the flyer's own
    // picture): the page is laid out once, when something needs it.
    m_calls.holdLayout();
    return call([&] {
        std::vector<std::shared_ptr<Word::Shape>> added;
        const auto pictures =
            addOfficePictures(m_calls.session(), m_calls.model(), fileName, places, m_spares);
        m_shapes.addPictures(pictures);
        added.reserve(pictures.size());
        // A picture holds no text: no need to ask the office.
        for (const auto& picture : pictures)
            added.push_back(std::make_shared<OfficeShape>(shared_from_this(), picture,
                                                          Reference<text::XText>()));
        return added;
    });
}

std::shared_ptr<Word::Range> OfficeDocument::range()
{
    settle();
    auto body = call([&] {
        Reference<text::XTextDocument> document(m_calls.model(), UNO_QUERY_THROW);
        return document->getText();
    });
    return std::make_shared<OfficeRange>(shared_from_this(), body);
}

std::vector<Word::TextFit> OfficeDocument::fitTextToShapes(const Word::TextFitLimits& limits,
                                                           const Word::TextFitPlan& plan)
{
    // Fitting measures the filled text: replacements still waiting go in first.
    settle();
    m_calls.releaseLayout();
    const auto texts = m_shapes.texts();
    // What is known already is not asked again: the texts as last read, the
    // frames' shapes as prepared.
    std::vector<KnownFrame> known(texts.size());
    for (std::size_t i = 0; i < texts.size(); ++i) {
        const bool planned = plan.only.empty() ||
                             std::find(plan.only.begin(), plan.only.end(), i) != plan.only.end();
        if (!texts[i].is() || !planned)
            continue;
        known[i].content = toOUString(m_texts.textOf(texts[i]));
        const auto shape = m_frameShapes.find(texts[i].get());
        if (shape != m_frameShapes.end())
            known[i].shape = shape->second.second;
    }
    return call([&] { return fitFrameTexts(m_calls.model(), limits, texts, plan, known); });
}

void OfficeDocument::removeTokenLines(const QStringList& tokens)
{
    if (tokens.isEmpty())
        return;
    settle();
    m_calls.holdLayout();
    call([&] {
        for (const auto& text : m_shapes.texts()) {
            if (text.is() && removeLinesOfTokens(text, tokens))
                m_texts.forget(text);
        }
    });
}

std::vector<quint32> OfficeDocument::recolor(const Word::Recoloring& recoloring)
{
    // The colours of replaced text are those of its token: replacements go in first.
    settle();
    const auto& floating = m_shapes.list();
    auto kept = call([&] {
        return recolorOfficeDocument(m_calls.session().connection->context(), m_calls.model(),
                                     m_texts.stories(), floating, recoloring);
    });
    // A removed background was a shape of a header.
    m_shapes.forget();
    return kept;
}

template <typename Step> void OfficeDocument::storing(const QString& folder, Step&& step)
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

void OfficeDocument::saveAs(const QString& path)
{
    settle();
    m_calls.releaseLayout();
    const QString target = QFileInfo(path).absoluteFilePath();
    storing(QFileInfo(target).absolutePath(), [&] {
        Reference<frame::XStorable> storable(m_calls.model(), UNO_QUERY_THROW);
        storable->storeToURL(
            fileUrl(target),
            properties({{"FilterName", Any(OUString("MS Word 97"))}, {"Overwrite", Any(true)}}));
    });
    if (!QFileInfo(target).isFile())
        throw Failure(QStringLiteral("The document could not be saved as \"%1\".").arg(target));
}

void OfficeDocument::exportAsFixedFormat(const QString& path, int exportFormat)
{
    if (exportFormat != wdExportFormatPDF)
        throw Failure(
            QStringLiteral("The document can only be exported as PDF (format %1 was asked for).")
                .arg(exportFormat));
    settle();
    m_calls.releaseLayout();
    const QString target = QFileInfo(path).absoluteFilePath();
    call([&] {
        Reference<frame::XStorable> storable(m_calls.model(), UNO_QUERY_THROW);
        // The fonts go into the file, so it prints and shows the same
        // on a machine that lacks them. Pictures keep the resolution they
        // were made at: brought down to 300 dpi, the tabs' one-bit codes
        // would be smoothed to grey and stored as JPEG, with blurred edges
        // a reader may miss.
        const auto filterData =
            properties({{"EmbedStandardFonts", Any(true)}, {"ReduceImageResolution", Any(false)}});
        storable->storeToURL(fileUrl(target),
                             properties({{"FilterName", Any(OUString("writer_pdf_Export"))},
                                         {"FilterData", Any(filterData)},
                                         {"Overwrite", Any(true)}}));
    });
    if (!QFileInfo(target).isFile())
        throw Failure(QStringLiteral("The document could not be exported as \"%1\".").arg(target));
}

void OfficeDocument::close()
{
    if (m_calls.isClosed())
        throw Failure(QStringLiteral("The document is already closed."));
    try {
        m_calls.releaseLayout();
    } catch (const Failure&) {
        // Closing below reports what is wrong with the office.
    }
    m_later.drop();
    m_calls.markClosed();
    m_texts.clear();
    m_shapes.forget();
    m_frameShapes.clear();
    m_places.clear();
    m_spares.clear();
    try {
        m_calls.session().call([&] {
            const Reference<lang::XComponent>& model = m_calls.model();
            Reference<util::XCloseable> closeable(model, UNO_QUERY);
            if (closeable.is())
                closeable->close(true);
            else
                model->dispose();
        });
    } catch (const Word::EngineLost&) {
        // An office that has gone cannot remove the lock file it keeps
        // beside a document open for editing; nobody else would.
        if (!m_lockFile.isEmpty())
            QFile::remove(m_lockFile);
        throw;
    }
}

void OfficeDocument::setLockFile(const QString& documentPath)
{
    const QFileInfo document(documentPath);
    m_lockFile = document.absolutePath() + QStringLiteral("/.~lock.") + document.fileName() +
                 QLatin1Char('#');
}

QImage OfficeDocument::exportedPagePicture(QSize wanted)
{
    QTemporaryDir folder;
    if (!folder.isValid()) {
        DiskSpace::throwIfFull(QDir::tempPath(), DiskSpace::temporaryFolderAdvice());
        throw Failure(QStringLiteral("No temporary folder for the page picture."));
    }
    const QString png = folder.filePath(QStringLiteral("page.png"));
    // The file is read once, at once, from the temporary folder: stored
    // without compression it costs the office no deflating and us no
    // inflating, for the same pixels.
    storing(QDir::tempPath(),
            [&] { storePagePicture(m_calls.model(), png, wanted, kNoCompression); });
    QImage picture(png);
    if (picture.isNull())
        throw Failure(QStringLiteral("The office made no picture of the page."));
    return picture;
}

void OfficeDocument::copyAsPicture()
{
    settle();
    // As many pixels as the sharpest screen shows in the page's place.
    const qreal density = PixelDensity::screenRatio();
    const QSize wanted(int(std::lround(kPagePictureWidth * density)),
                       int(std::lround(kPagePictureHeight * density)));
    m_calls.releaseLayout();
    QImage picture = call([&] {
        return drawnPagePicture(m_calls.session().connection->context(), m_calls.model(), wanted);
    });
    if (picture.isNull())
        picture = exportedPagePicture(wanted);
    // Drawn at the office's resolution, or exported a pixel larger now and then.
    if (picture.size() != wanted)
        picture = picture.scaled(wanted, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    PixelDensity::mark(picture, density);
    if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw Failure(QStringLiteral("There is no clipboard to copy the picture to."));
    Main::PutPagePicture(picture);
}

} // namespace Office
