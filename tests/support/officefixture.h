#pragma once

#include "generate/libreoffice/officeengine.h"
#include "testenvironment.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <memory>

// Gives the office profiles started meanwhile a folder of their own inside the
// test folder (XDG_CACHE_HOME), so that the office processes of a test can be
// told from any other office on the machine. The previous value comes back
// when it goes.
class OfficeCacheFolder
{
public:
    explicit OfficeCacheFolder(const TestEnvironment& environment);
    ~OfficeCacheFolder();
    Q_DISABLE_COPY_MOVE(OfficeCacheFolder)

    QString path() const { return m_path; }

private:
    QString m_path;
    QByteArray m_old;
    bool m_had;
};

// The set-up every test program of the office shares, as a base of its test
// class: one test folder, the office's profile inside it, and an office
// engine installed as the program's for the whole program.
class OfficeFixture
{
protected:
    OfficeFixture() = default;
    ~OfficeFixture();
    Q_DISABLE_COPY_MOVE(OfficeFixture)

    // From initTestCase.
    void startOffice(OfficeEngineLimits limits = {});
    // From cleanupTestCase: uninstalls and ends the engine; returns the office
    // processes of this program still running (none, when the engine ended its office).
    QList<qint64> endOffice();
    // Then: the test folder goes and XDG_CACHE_HOME is as it was.
    void leaveTestFolder();

    std::unique_ptr<TestEnvironment> m_environment;
    QString m_cache;
    std::shared_ptr<Word::Engine> m_engine;

private:
    std::unique_ptr<OfficeCacheFolder> m_cacheFolder;
};
