#pragma once

#include "base/dialogs.h"

#include <QList>
#include <QString>
#include <QStringList>

// Answers the program's dialogs from a script and records what was shown.
// Installed for its lifetime. A dialog that the script did not expect fails
// the running test, since a person would have seen it.
class ScriptedDialogs final : public Dialogs
{
public:
    struct Shown
    {
        enum Kind { Error, Message, Question, Input, SaveFile, OpenFile, Print } kind;
        QString title;
        QString text;
    };

    ScriptedDialogs();
    ~ScriptedDialogs() override;

    // Answers for the next questions, inputs and save dialogs, in order.
    void answerQuestions(QList<Answer> answers) { m_answers += answers; }
    void answerInputs(QStringList inputs) { m_inputs += inputs; }
    void answerSaveFiles(QStringList paths) { m_saveFiles += paths; }
    void answerOpenFiles(QStringList paths) { m_openFiles += paths; }
    // nullopt answers Cancel.
    void answerPrints(QList<std::optional<PrintChoice>> choices) { m_prints += choices; }

    // Every dialog shown so far, in order.
    const QList<Shown>& shown() const { return m_shown; }
    // The texts of the error reports shown so far.
    QStringList errors() const;
    QStringList messages() const;
    void clear();

    void error(const QString& title, const QString& text) override;
    void message(const QString& title, const QString& text) override;
    Answer question(const QString& title, const QString& text) override;
    QString input(const QString& title, const QString& prompt) override;
    // The shown entry's text is the name the dialog suggested.
    QString saveFile(const QString& title, const QString& filter,
                     const QString& suggestedName = QString()) override;
    QString openFile(const QString& title, const QString& filter) override;
    std::optional<PrintChoice> print(const QString& documentName) override;

    // The filter given to the last save dialog.
    QString lastFilter() const { return m_lastFilter; }

private:
    QList<Shown> m_shown;
    QList<Answer> m_answers;
    QStringList m_inputs;
    QStringList m_saveFiles;
    QStringList m_openFiles;
    QList<std::optional<PrintChoice>> m_prints;
    QString m_lastFilter;
};
