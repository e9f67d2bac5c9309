#pragma once

#include <QString>

#include <memory>
#include <optional>

class QWidget;

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
    // `filter` is in the "Description (*.ext)|*.ext" form. The empty text on Cancel.
    // `suggestedName` fills the name field ("" leaves it empty); the dialog
    // opens in saveFolder() (base/savefolder.h).
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

    // The dialogs in use: those installed, else plain lines on the standard
    // error output that answer No or Cancel (a program without windows has
    // nobody to ask).
    static Dialogs& current();
    // The program installs the window kit's SystemDialogs at start, tests
    // their scripted ones; nullptr goes back to the standard error output.
    static void install(Dialogs* dialogs);
};
