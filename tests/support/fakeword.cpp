#include "fakeword.h"

#include "base/failure.h"
#include "fakewordstate.h"

#include <QFile>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <vector>

namespace FakeWord {

namespace {

QString boolText(bool value)
{
    return value ? QStringLiteral("true") : QStringLiteral("false");
}

using Cell = std::shared_ptr<QString>;

void requireAlive(const std::shared_ptr<Life>& life)
{
    if (!life->alive)
        throw Failure(QStringLiteral("Fake engine: the document is closed."));
}

class ReplacementImpl final : public Word::Replacement
{
public:
    ReplacementImpl(std::shared_ptr<State> state, std::shared_ptr<Life> life)
        : m_state(std::move(state)), m_life(std::move(life))
    {}
    void clearFormatting() override
    {
        m_state->call(QStringLiteral("Replacement.ClearFormatting"));
        requireAlive(m_life);
    }
    void setText(const QString& text) override
    {
        m_state->call(QStringLiteral("Replacement.Text=") + text);
        requireAlive(m_life);
        m_text = text;
    }
    const QString& text() const { return m_text; }

private:
    std::shared_ptr<State> m_state;
    std::shared_ptr<Life> m_life;
    QString m_text;
};

class FindImpl final : public Word::Find
{
public:
    FindImpl(std::shared_ptr<State> state, std::shared_ptr<Life> life, Cell cell)
        : m_state(state), m_life(life), m_cell(std::move(cell)), m_replacement(state, life)
    {}

    void clearFormatting() override { simple(QStringLiteral("Find.ClearFormatting")); }
    Word::Replacement& replacement() override
    {
        simple(QStringLiteral("Find.Replacement"));
        return m_replacement;
    }
    void setText(const QString& text) override
    {
        simple(QStringLiteral("Find.Text=") + text);
        m_text = text;
    }
    void setForward(bool value) override
    {
        simple(QStringLiteral("Find.Forward=") + boolText(value));
    }
    void setWrap(int wrap) override
    {
        simple(QStringLiteral("Find.Wrap=") + QString::number(wrap));
    }
    void setFormat(bool value) override
    {
        simple(QStringLiteral("Find.Format=") + boolText(value));
    }
    void setMatchCase(bool value) override
    {
        simple(QStringLiteral("Find.MatchCase=") + boolText(value));
        m_matchCase = value;
    }
    void setMatchWholeWord(bool value) override
    {
        simple(QStringLiteral("Find.MatchWholeWord=") + boolText(value));
    }
    void setMatchWildcards(bool value) override
    {
        simple(QStringLiteral("Find.MatchWildcards=") + boolText(value));
    }
    void setMatchSoundsLike(bool value) override
    {
        simple(QStringLiteral("Find.MatchSoundsLike=") + boolText(value));
    }
    void setMatchAllWordForms(bool value) override
    {
        simple(QStringLiteral("Find.MatchAllWordForms=") + boolText(value));
    }

    void execute(int replace) override
    {
        simple(QStringLiteral("Find.Execute(Replace=%1)").arg(replace));
        run(m_text, m_replacement.text(), replace);
    }
    void execute(const QString& findText, const QString& replaceWith, int replace) override
    {
        simple(QStringLiteral("Find.Execute(%1, %2, %3)").arg(findText, replaceWith).arg(replace));
        run(findText, replaceWith, replace);
    }

private:
    void simple(const QString& line)
    {
        m_state->call(line);
        requireAlive(m_life);
    }
    void run(const QString& findText, const QString& replaceWith, int replace)
    {
        if (replace != wdReplaceAll || findText.isEmpty())
            return;
        m_cell->replace(findText, replaceWith,
                        m_matchCase ? Qt::CaseSensitive : Qt::CaseInsensitive);
    }

    std::shared_ptr<State> m_state;
    std::shared_ptr<Life> m_life;
    Cell m_cell;
    ReplacementImpl m_replacement;
    QString m_text;
    bool m_matchCase = false;
};

class RangeImpl final : public Word::Range
{
public:
    RangeImpl(std::shared_ptr<State> state, std::shared_ptr<Life> life, Cell cell,
              std::function<QString()> pictureOf)
        : m_state(state), m_life(life), m_cell(cell), m_find(state, life, cell),
          m_pictureOf(std::move(pictureOf))
    {}
    Word::Find& find() override
    {
        m_state->call(QStringLiteral("Range.Find"));
        requireAlive(m_life);
        return m_find;
    }
    QString text() override
    {
        m_state->call(QStringLiteral("Range.Text"));
        requireAlive(m_life);
        return *m_cell;
    }
    void setText(const QString& text) override
    {
        m_state->call(QStringLiteral("Range.Text = %1").arg(text));
        requireAlive(m_life);
        *m_cell = text;
    }
    void copyAsPicture() override
    {
        m_state->call(QStringLiteral("Range.CopyAsPicture"));
        requireAlive(m_life);
        m_state->pictures << m_pictureOf();
    }

private:
    std::shared_ptr<State> m_state;
    std::shared_ptr<Life> m_life;
    Cell m_cell;
    FindImpl m_find;
    std::function<QString()> m_pictureOf;
};

struct ShapeCell
{
    Shape::Kind kind;
    Cell text;
    QRectF place;
    QString pictureFile;
    qsizetype capacity = -1;
    std::shared_ptr<int> percent = std::make_shared<int>(100);
};

Shape shapeOf(const ShapeCell& cell)
{
    Shape shape(cell.kind, *cell.text, cell.place, cell.pictureFile);
    shape.capacity = cell.capacity;
    shape.percent = *cell.percent;
    return shape;
}

// The fake's layout: text at p % fits when its length times (p / 100)^2 is
// within the box's capacity.
Word::TextFit fitCell(const ShapeCell& shape, const Word::TextFitLimits& limits)
{
    Word::TextFit fit;
    const qsizetype length = shape.text->size();
    auto fitsAt = [&](int percent) {
        return shape.capacity < 0 || double(length) * percent * percent <= shape.capacity * 1e4;
    };
    if (shape.kind != Shape::TextBox || fitsAt(100))
        return fit;
    fit.percent = 100;
    do
        fit.percent = std::max(limits.floorPercent, fit.percent - std::max(1, limits.stepPercent));
    while (fit.percent > limits.floorPercent && !fitsAt(fit.percent));
    fit.fits = fitsAt(fit.percent);
    if (!fit.fits)
        fit.shownCharacters = qsizetype(shape.capacity * 1e4 / (fit.percent * fit.percent));
    *shape.percent = fit.percent;
    return fit;
}

class DocumentImpl;

class TextFrameImpl final : public Word::TextFrame
{
public:
    TextFrameImpl(std::shared_ptr<State> state, std::shared_ptr<Life> life, ShapeCell shape,
                  std::function<QString()> pictureOf)
        : m_state(std::move(state)), m_life(std::move(life)), m_shape(std::move(shape)),
          m_pictureOf(std::move(pictureOf))
    {}
    bool hasText() override
    {
        m_state->call(QStringLiteral("TextFrame.HasText"));
        requireAlive(m_life);
        return m_shape.kind == Shape::TextBox && !m_shape.text->isEmpty();
    }
    std::shared_ptr<Word::Range> textRange() override
    {
        m_state->call(QStringLiteral("TextFrame.TextRange"));
        requireAlive(m_life);
        if (m_shape.kind != Shape::TextBox)
            throw Failure(QStringLiteral("Fake engine: this shape holds no text."));
        return std::make_shared<RangeImpl>(m_state, m_life, m_shape.text, m_pictureOf);
    }

private:
    std::shared_ptr<State> m_state;
    std::shared_ptr<Life> m_life;
    ShapeCell m_shape;
    std::function<QString()> m_pictureOf;
};

class ShapeImpl final : public Word::Shape
{
public:
    ShapeImpl(std::shared_ptr<State> state, std::shared_ptr<Life> life, ShapeCell shape,
              std::function<QString()> pictureOf, std::function<void(const Cell&)> remover)
        : m_state(std::move(state)), m_life(std::move(life)), m_shape(std::move(shape)),
          m_pictureOf(std::move(pictureOf)), m_remover(std::move(remover))
    {}
    std::shared_ptr<Word::TextFrame> textFrame() override
    {
        m_state->call(QStringLiteral("Shape.TextFrame"));
        requireAlive(m_life);
        return std::make_shared<TextFrameImpl>(m_state, m_life, m_shape, m_pictureOf);
    }
    int type() override
    {
        m_state->call(QStringLiteral("Shape.Type"));
        requireAlive(m_life);
        return m_shape.kind == FakeWord::Shape::Picture ? msoPicture : msoTextBox;
    }
    QRectF place() override
    {
        m_state->call(QStringLiteral("Shape.Place"));
        requireAlive(m_life);
        return m_shape.place;
    }
    void remove() override
    {
        m_state->call(QStringLiteral("Shape.Delete"));
        requireAlive(m_life);
        m_remover(m_shape.text);
    }

private:
    std::shared_ptr<State> m_state;
    std::shared_ptr<Life> m_life;
    ShapeCell m_shape;
    std::function<QString()> m_pictureOf;
    std::function<void(const Cell&)> m_remover;
};

class ApplicationImpl;

class DocumentImpl final : public Word::Document, public std::enable_shared_from_this<DocumentImpl>
{
public:
    DocumentImpl(std::shared_ptr<State> state, const Content& content, QString path, bool readOnly,
                 std::function<void(DocumentImpl*)> onClose)
        : m_state(std::move(state)), m_life(std::make_shared<Life>()), m_path(std::move(path)),
          m_readOnly(readOnly), m_onClose(std::move(onClose))
    {
        for (const QString& text : content.body)
            m_body.push_back(std::make_shared<QString>(text));
        for (const QString& text : content.headers)
            m_headers.push_back(std::make_shared<QString>(text));
        for (const Shape& shape : content.shapes)
            m_shapes.push_back({shape.kind, std::make_shared<QString>(shape.text), shape.place,
                                shape.pictureFile, shape.capacity,
                                std::make_shared<int>(shape.percent)});
        m_state->documentLives.push_back(m_life);
    }

    std::shared_ptr<Life> life() const { return m_life; }

    Content content() const
    {
        Content content;
        for (const Cell& cell : m_body)
            content.body << *cell;
        for (const Cell& cell : m_headers)
            content.headers << *cell;
        for (const ShapeCell& shape : m_shapes)
            content.shapes << shapeOf(shape);
        return content;
    }

    std::vector<std::shared_ptr<Word::Range>> storyRanges() override
    {
        call(QStringLiteral("Document.StoryRanges"));
        // Body first, then the text of every text box, then the headers.
        std::vector<std::shared_ptr<Word::Range>> ranges;
        for (const Cell& cell : m_body)
            ranges.push_back(range(cell));
        for (const ShapeCell& shape : m_shapes)
            if (shape.kind == Shape::TextBox)
                ranges.push_back(range(shape.text));
        for (const Cell& cell : m_headers)
            ranges.push_back(range(cell));
        return ranges;
    }
    std::vector<std::shared_ptr<Word::Shape>> shapes() override
    {
        call(QStringLiteral("Document.Shapes"));
        std::vector<std::shared_ptr<Word::Shape>> shapes;
        for (const ShapeCell& shape : m_shapes)
            shapes.push_back(
                std::make_shared<ShapeImpl>(m_state, m_life, shape, pictureOf(), remover()));
        return shapes;
    }
    std::shared_ptr<Word::Shape> addPicture(const QString& fileName, const QRectF& place) override
    {
        call(QStringLiteral("Shapes.AddPicture(%1, %2, %3, %4, %5)")
                 .arg(fileName)
                 .arg(place.left())
                 .arg(place.top())
                 .arg(place.width())
                 .arg(place.height()));
        if (!QFile::exists(fileName))
            throw Failure(QStringLiteral("Fake engine: no picture at %1.").arg(fileName));
        m_shapes.push_back({Shape::Picture, std::make_shared<QString>(), place, fileName, -1,
                            std::make_shared<int>(100)});
        return std::make_shared<ShapeImpl>(m_state, m_life, m_shapes.back(), pictureOf(),
                                           remover());
    }
    std::shared_ptr<Word::Range> range() override
    {
        call(QStringLiteral("Document.Range"));
        // The main text with its shapes: the body cell stands for all of it.
        return range(m_body.empty() ? std::make_shared<QString>() : m_body.front());
    }
    using Word::Document::fitTextToShapes;
    std::vector<Word::TextFit> fitTextToShapes(const Word::TextFitLimits& limits,
                                               const Word::TextFitPlan&) override
    {
        call(QStringLiteral("Document.FitTextToShapes(%1, %2, %3)")
                 .arg(limits.stepPercent)
                 .arg(limits.floorPercent)
                 .arg(limits.minimumPoints));
        std::vector<Word::TextFit> fits;
        for (const ShapeCell& shape : m_shapes)
            fits.push_back(fitCell(shape, limits));
        return fits;
    }
    void saveAs(const QString& path) override
    {
        call(QStringLiteral("Document.SaveAs(%1)").arg(path));
        if (m_readOnly && path == m_path)
            throw Failure(QStringLiteral("Fake engine: %1 is read-only.").arg(path));
        if (m_state->saveWritesNothing)
            return;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
            file.write(content().toBytes()) < 0 || !file.flush())
            throw Failure(
                QStringLiteral("Fake engine: cannot save %1: %2").arg(path, file.errorString()));
        m_path = path;
        m_readOnly = false;
    }
    // A real PDF of one Letter page holding the document's texts, one a line.
    void exportAsFixedFormat(const QString& path, int exportFormat) override
    {
        call(QStringLiteral("Document.ExportAsFixedFormat(%1, %2)").arg(path).arg(exportFormat));
        if (exportFormat != wdExportFormatPDF)
            throw Failure(
                QStringLiteral("Fake engine: unknown export format %1.").arg(exportFormat));
        if (m_state->exportDiesHalfway || m_state->exportCutShort) {
            QFile file(path);
            if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
                file.write("%PDF-1.7\n% cut off");
            if (m_state->exportCutShort)
                return;
            throw Word::EngineLost(
                QStringLiteral("Fake engine: the office ended while exporting."));
        }
        QPdfWriter writer(path);
        writer.setPageSize(QPageSize(QPageSize::Letter));
        writer.setResolution(72);
        QPainter painter;
        if (!painter.begin(&writer))
            throw Failure(QStringLiteral("Fake engine: cannot export %1.").arg(path));
        painter.setFont(QFont(QStringLiteral("Liberation Sans"), 12));
        int y = 72;
        for (const QString& line : content().allText().split(QLatin1Char('\n'))) {
            painter.drawText(72, y, line);
            y += 16;
        }
        painter.end();
    }
    void close() override
    {
        call(QStringLiteral("Document.Close"));
        closeNow();
    }
    void close(int saveChanges) override
    {
        call(QStringLiteral("Document.Close(SaveChanges=%1)").arg(saveChanges));
        closeNow();
    }

    void closeNow()
    {
        if (!m_life->alive)
            return;
        m_life->alive = false;
        if (m_onClose)
            m_onClose(this);
    }

private:
    void call(const QString& line)
    {
        m_state->call(line);
        requireAlive(m_life);
    }
    std::function<QString()> pictureOf()
    {
        std::weak_ptr<DocumentImpl> self = weak_from_this();
        return [self] {
            const auto document = self.lock();
            return document ? document->content().allText() : QString();
        };
    }
    std::function<void(const Cell&)> remover()
    {
        std::weak_ptr<DocumentImpl> self = weak_from_this();
        return [self](const Cell& text) {
            if (const auto document = self.lock())
                std::erase_if(document->m_shapes,
                              [&](const ShapeCell& shape) { return shape.text == text; });
        };
    }
    std::shared_ptr<Word::Range> range(const Cell& cell)
    {
        return std::make_shared<RangeImpl>(m_state, m_life, cell, pictureOf());
    }

    std::shared_ptr<State> m_state;
    std::shared_ptr<Life> m_life;
    QString m_path;
    bool m_readOnly;
    std::function<void(DocumentImpl*)> m_onClose;
    std::vector<Cell> m_body;
    std::vector<Cell> m_headers;
    std::vector<ShapeCell> m_shapes;
};

class ApplicationImpl final : public Word::Application, public Word::Documents
{
public:
    explicit ApplicationImpl(std::shared_ptr<State> state) : m_state(std::move(state))
    {
        ++m_state->running;
    }
    ~ApplicationImpl() override
    {
        // Released without quit, the server process would stay: it keeps
        // counting as running.
        for (const auto& document : m_open)
            document->life()->alive = false;
    }

    Word::Documents& documents() override
    {
        call(QStringLiteral("Application.Documents"));
        return *this;
    }
    std::shared_ptr<Word::Document> activeDocument() override
    {
        call(QStringLiteral("Application.ActiveDocument"));
        if (m_open.empty())
            throw Failure(QStringLiteral("Fake engine: no document is open."));
        return m_open.back();
    }
    void setDisplayAlerts(bool value) override
    {
        call(QStringLiteral("Application.DisplayAlerts=") + boolText(value));
    }
    QString name() override
    {
        call(QStringLiteral("Application.Name"));
        return QStringLiteral("Fake Word");
    }
    QString version() override
    {
        call(QStringLiteral("Application.Version"));
        return QStringLiteral("16.0");
    }
    void quit() override
    {
        call(QStringLiteral("Application.Quit"));
        m_quit = true;
        --m_state->running;
        const auto open = m_open;
        for (const auto& document : open)
            document->closeNow();
        m_open.clear();
    }

    std::shared_ptr<Word::Document> open(const QString& path) override
    {
        call(QStringLiteral("Documents.Open(%1)").arg(path));
        return openNow(path, false);
    }
    std::shared_ptr<Word::Document> open(const QString& path, bool readOnly) override
    {
        call(QStringLiteral("Documents.Open(%1, ReadOnly=%2)").arg(path, boolText(readOnly)));
        return openNow(path, readOnly);
    }

private:
    void call(const QString& line)
    {
        m_state->call(line);
        if (m_quit)
            throw Failure(QStringLiteral("Fake engine: the application has quit."));
    }
    std::shared_ptr<Word::Document> openNow(const QString& path, bool readOnly)
    {
        const std::optional<Content> content = Content::fromFile(path);
        if (!content)
            throw Failure(QStringLiteral("Fake engine: %1 cannot be opened.").arg(path));
        auto document = std::make_shared<DocumentImpl>(
            m_state, *content, path, readOnly, [this](DocumentImpl* closed) {
                std::erase_if(m_open, [closed](const auto& d) { return d.get() == closed; });
            });
        m_open.push_back(document);
        m_state->handedOut.push_back(document);
        return document;
    }

    std::shared_ptr<State> m_state;
    std::vector<std::shared_ptr<DocumentImpl>> m_open;
    bool m_quit = false;
};

} // namespace

std::shared_ptr<Word::Application> Engine::createApplication()
{
    m_state->call(QStringLiteral("CreateObject(Word.Application)"));
    auto application = std::make_shared<ApplicationImpl>(m_state);
    m_state->handedOut.push_back(application);
    return application;
}

} // namespace FakeWord
