#include "testenvironment.h"

#include "base/settings.h"

#include <QDir>
#include <QFile>

namespace {
void save(const char* name, QByteArray& value, bool& had)
{
    had = qEnvironmentVariableIsSet(name);
    value = qgetenv(name);
}

void restore(const char* name, const QByteArray& value, bool had)
{
    if (had)
        qputenv(name, value);
    else
        qunsetenv(name);
}
} // namespace

TestEnvironment::TestEnvironment()
{
    save("temp", m_oldTemp, m_hadTemp);
    save("TMPDIR", m_oldTmpdir, m_hadTmpdir);
    save("PELLAMONT_PROGRAM_FOLDER", m_oldProgram, m_hadProgram);
    save("XDG_CONFIG_HOME", m_oldXdg, m_hadXdg);
    QDir(root()).mkpath(QStringLiteral("tmp"));
    QDir(root()).mkpath(QStringLiteral("program"));
    QDir(root()).mkpath(QStringLiteral("config"));
    // Any other spelling of "temp" would win over ours; there is none in CI.
    qputenv("temp", QFile::encodeName(systemTemp()));
    qputenv("TMPDIR", QFile::encodeName(systemTemp()));
    qputenv("PELLAMONT_PROGRAM_FOLDER", QFile::encodeName(programFolder()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(root() + QStringLiteral("/config")));
    SettingsStore::useFileForTesting(settingsFile());
}

TestEnvironment::~TestEnvironment()
{
    SettingsStore::useFileForTesting(QString());
    restore("temp", m_oldTemp, m_hadTemp);
    restore("TMPDIR", m_oldTmpdir, m_hadTmpdir);
    restore("PELLAMONT_PROGRAM_FOLDER", m_oldProgram, m_hadProgram);
    restore("XDG_CONFIG_HOME", m_oldXdg, m_hadXdg);
}

QString TestEnvironment::settingsFile() const
{
    return root() + QStringLiteral("/config/Corvanti.conf");
}

QString TestEnvironment::systemTemp() const
{
    return root() + QStringLiteral("/tmp");
}

QString TestEnvironment::programFolder() const
{
    return root() + QStringLiteral("/program");
}

QByteArray TestEnvironment::settingsText() const
{
    QFile file(settingsFile());
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
