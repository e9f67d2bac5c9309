#include "scripteddialogs.h"

#include <QTest>

ScriptedDialogs::ScriptedDialogs()
{
    Dialogs::install(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    Dialogs::install(nullptr);
}

QStringList ScriptedDialogs::errors() const
{
    QStringList texts;
    for (const Shown& shown : m_shown)
        if (shown.kind == Shown::Error)
            texts << shown.text;
    return texts;
}

QStringList ScriptedDialogs::messages() const
{
    QStringList texts;
    for (const Shown& shown : m_shown)
        if (shown.kind == Shown::Message)
            texts << shown.text;
    return texts;
}

void ScriptedDialogs::clear()
{
    m_shown.clear();
}

void ScriptedDialogs::error(const QString& title, const QString& text)
{
    m_shown.append({Shown::Error, title, text});
}

void ScriptedDialogs::message(const QString& title, const QString& text)
{
    m_shown.append({Shown::Message, title, text});
}

Dialogs::Answer ScriptedDialogs::question(const QString& title, const QString& text)
{
    m_shown.append({Shown::Question, title, text});
    if (m_answers.isEmpty()) {
        QTest::qFail("A question was asked that the test did not expect", __FILE__, __LINE__);
        return Answer::No;
    }
    return m_answers.takeFirst();
}

QString ScriptedDialogs::input(const QString& title, const QString& prompt)
{
    m_shown.append({Shown::Input, title, prompt});
    if (m_inputs.isEmpty()) {
        QTest::qFail("An input box was shown that the test did not expect", __FILE__, __LINE__);
        return QString();
    }
    return m_inputs.takeFirst();
}

QString ScriptedDialogs::saveFile(const QString& title, const QString& filter,
                                  const QString& suggestedName)
{
    m_shown.append({Shown::SaveFile, title, suggestedName});
    m_lastFilter = filter;
    if (m_saveFiles.isEmpty()) {
        QTest::qFail("A save dialog was shown that the test did not expect", __FILE__, __LINE__);
        return QString();
    }
    return m_saveFiles.takeFirst();
}

QString ScriptedDialogs::openFile(const QString& title, const QString& filter)
{
    m_shown.append({Shown::OpenFile, title, QString()});
    m_lastFilter = filter;
    if (m_openFiles.isEmpty()) {
        QTest::qFail("An open dialog was shown that the test did not expect", __FILE__, __LINE__);
        return QString();
    }
    return m_openFiles.takeFirst();
}

std::optional<Dialogs::PrintChoice> ScriptedDialogs::print(const QString& documentName)
{
    m_shown.append({Shown::Print, QString(), documentName});
    if (m_prints.isEmpty()) {
        QTest::qFail("A print dialog was shown that the test did not expect", __FILE__, __LINE__);
        return std::nullopt;
    }
    return m_prints.takeFirst();
}
