#pragma once

#include "base/dialogs.h"

#include <QMessageBox>
#include <QString>

#include <memory>
#include <optional>

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
// (a "<b>" in a path is shown as typed), long paths wrapped to the box.
std::unique_ptr<QMessageBox> makeMessageBox(QMessageBox::Icon icon, const QString& title,
                                            const QString& text,
                                            QMessageBox::StandardButtons buttons);
// "Word Files (*.doc)|*.doc" in the form Qt's file dialog takes ("Word Files (*.doc)").
QString qtFileFilter(const QString& filter);
