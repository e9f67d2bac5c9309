#pragma once

#include <QMessageBox>
#include <QString>

#include <memory>
#include <optional>

// Every modal question, notice and file dialog of the program goes through
// this interface, so that tests can answer them with a script instead of a
// person (see tests/support/scripteddialogs.h).
class Dialogs
{
public:
    enum class Answer { Yes, No };

    virtual ~Dialogs() = default;

    // Warning icon, one OK button, modal to the whole program.
    virtual void error(const QString& title, const QString& text) = 0;
    // No icon, one OK button.
    virtual void message(const QString& title, const QString& text) = 0;
    // What message() shows, told about `window` without holding anything up:
    // the window keeps taking input, and a close request for it still ends
    // it, while the box is up; the box goes when the window is hidden.
    virtual void notice(QWidget* /*window*/, const QString& title, const QString& text)
    {
        message(title, text);
    }
    // No icon, Yes and No.
    virtual Answer question(const QString& title, const QString& text) = 0;
    // Title, prompt and one empty answer field; the empty text on Cancel.
    virtual QString input(const QString& title, const QString& prompt) = 0;
    // A save-file dialog that asks no overwrite question and adds no extension.
    // `filter` is in the "Description (*.ext)|*.ext" form; `suggestedName`
    // fills the name field ("" leaves it empty). It opens in saveFolder().
    // The empty text on Cancel.
    virtual QString saveFile(const QString& title, const QString& filter,
                             const QString& suggestedName = QString()) = 0;
    // An open-file dialog for one existing file, `filter` in the same form.
    // The empty text on Cancel (also the answer of dialogs that offer none).
    virtual QString openFile(const QString& /*title*/, const QString& /*filter*/) { return {}; }
    // What the print dialog chose: a printer of the system's print service
    // and how many copies.
    struct PrintChoice
    {
        QString printer;
        int copies = 1;
    };
    // The print dialog for the document called `documentName`; nullopt on Cancel.
    virtual std::optional<PrintChoice> print(const QString& documentName) = 0;

    // The dialogs in use: the real ones unless a test installed its own.
    static Dialogs& current();
    // Use only for testing; nullptr goes back to the real dialogs.
    static void install(Dialogs* dialogs);
};

// The real dialogs, on Qt's widgets.
class SystemDialogs final : public Dialogs
{
public:
    void error(const QString& title, const QString& text) override;
    void message(const QString& title, const QString& text) override;
    void notice(QWidget* window, const QString& title, const QString& text) override;
    Answer question(const QString& title, const QString& text) override;
    QString input(const QString& title, const QString& prompt) override;
    QString saveFile(const QString& title, const QString& filter,
                     const QString& suggestedName = QString()) override;
    QString openFile(const QString& title, const QString& filter) override;
    std::optional<PrintChoice> print(const QString& documentName) override;
};

// Line breaks of the program's messages (CR LF, and CR alone) as a Qt label
// shows them, and places where a long path may wrap (after each "/", and
// within any run of more than 40 characters without a blank) marked with
// zero-width spaces.
QString displayText(const QString& text);
// The message box SystemDialogs shows: plain text whatever the text holds
// (a "<b>" in a path is shown as typed), long paths wrapped to the box, and
// wide enough for its title to be read in the title bar.
std::unique_ptr<QMessageBox> makeMessageBox(QMessageBox::Icon icon, const QString& title,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons);
// "Word Files (*.doc)|*.doc" in the form Qt's file dialog takes ("Word Files (*.doc)").
QString qtFileFilter(const QString& filter);
