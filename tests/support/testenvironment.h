#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

// Points everything the program keeps outside itself into one temporary folder
// for the lifetime of the object: the settings file, the temporary folder
// ("temp" and TMPDIR), the program folder (skin and cursor) and XDG_CONFIG_HOME.
// The previous values come back when it goes.
class TestEnvironment
{
public:
    TestEnvironment();
    ~TestEnvironment();

    QString root() const { return m_dir.path(); }
    QString settingsFile() const;
    QString systemTemp() const;
    QString programFolder() const;
    // The contents of the settings file, as a person would read it.
    QByteArray settingsText() const;

private:
    QTemporaryDir m_dir;
    QByteArray m_oldTemp, m_oldTmpdir, m_oldProgram, m_oldXdg;
    bool m_hadTemp, m_hadTmpdir, m_hadProgram, m_hadXdg;
};
