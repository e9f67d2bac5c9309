#pragma once

#include "generate/word.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>

// An in-memory document engine for tests of the code that drives the document
// operations. A document is a list of body stories, header stories and
// floating shapes (text boxes with their text, or pictures without a text
// frame); it lives in a file as JSON (see FakeWord::Content), so a "template"
// written by the code under test is really read back, and SaveAs really
// writes a file. Searching is literal and ignores case unless MatchCase is
// set; a CR in a replacement stays a CR in the text.
//
// Every call is appended to a log ("Documents.Open(/t/template.dot, ReadOnly=true)",
// "Find.Execute([Zip], 12345, 2)") and can be made to fail by its operation
// name ("Documents.Open", "Find.Execute", ...), the name being the log line up
// to its first "(" or "=".
namespace FakeWord {

struct Shape
{
    // A text box holds text; a picture has no text frame.
    enum Kind { TextBox, Picture };

    Shape() = default;
    Shape(Kind kind_, QString text_, QRectF place_ = {}, QString pictureFile_ = {})
        : kind(kind_), text(std::move(text_)), place(place_), pictureFile(std::move(pictureFile_))
    {}
    // A text box that shows `capacity_` characters at its designed size.
    Shape(Kind kind_, QString text_, qsizetype capacity_, int percent_ = 100)
        : kind(kind_), text(std::move(text_)), capacity(capacity_), percent(percent_)
    {}

    Kind kind = TextBox;
    QString text;
    // Where it stands, in points from the page's corner.
    QRectF place;
    // For a picture: the file whose content it holds; empty for a picture
    // that came with the document.
    QString pictureFile;
    // How many characters the box shows at its designed text size; -1 for
    // no limit. Text shrunk to p % takes (p / 100)^2 of the room.
    qsizetype capacity = -1;
    // The text's size after FitTextToShapes, in percent of the designed size.
    int percent = 100;
};

struct Content
{
    QStringList body;
    QStringList headers;
    QList<Shape> shapes;

    // The JSON form that files of this engine hold.
    QByteArray toBytes() const;
    // nullopt when the bytes are not a document of this engine.
    static std::optional<Content> fromBytes(const QByteArray& bytes);
    // nullopt when the file cannot be read or is not a document.
    static std::optional<Content> fromFile(const QString& path);

    // Every text of the document, stories then shapes, joined by "\n".
    QString allText() const;
};

class State;

class Engine final : public Word::Engine
{
public:
    Engine();
    ~Engine() override;

    // Makes a fresh fake the engine in use for the lifetime of the object.
    struct Installed;

    std::shared_ptr<Word::Application> createApplication() override;

    // Every call so far, in order.
    QStringList calls() const;
    // The calls whose operation name is one of `operations`, in order.
    QStringList calls(const QStringList& operations) const;
    int count(const QString& operation) const;
    void clearCalls();

    // The next `times` calls of `operation` (after letting `after` of them
    // pass) throw Failure; times -1 means every call from then on.
    void failOn(const QString& operation, int times = -1, int after = 0);
    // SaveAs returns without writing the file, as a broken engine might.
    void setSaveWritesNothing(bool value);
    // ExportAsFixedFormat writes the start of a PDF and then fails as an
    // office killed in the middle of it would.
    void setExportDiesHalfway(bool value);
    // ExportAsFixedFormat writes the start of a PDF and reports success.
    void setExportCutShort(bool value);

    // Applications started and not yet quit (released ones included, as a
    // server process that was never told to quit lives on); documents open.
    int runningApplications() const;
    int openDocuments() const;
    // Application and document objects that somebody still holds.
    int heldObjects() const;
    // The content of every CopyAsPicture, as its document's text.
    QStringList pictures() const;

    // The description a failed call carries.
    static QString failureText(const QString& operation);

private:
    std::shared_ptr<State> m_state;
};

struct Engine::Installed
{
    Installed();
    ~Installed();
    Installed(const Installed&) = delete;
    Installed& operator=(const Installed&) = delete;

    Engine* operator->() const { return engine.get(); }
    Engine& operator*() const { return *engine; }

    std::shared_ptr<Engine> engine;
};

} // namespace FakeWord
