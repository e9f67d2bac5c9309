#pragma once

#include "office/documentfacts.h"
#include "office/officeengine.h"
#include "testenvironment.h"

#include <QByteArray>
#include <QList>
#include <QObject>
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

// The base of every test program of the office: one test folder, the
// office's profile inside it, and an office engine installed as the
// program's for the whole program. Its initTestCase starts them and its
// cleanupTestCase ends them and checks that no office process of the test
// is left; the hooks add what a test case needs on either side.
class OfficeFixture : public QObject
{
    Q_OBJECT

protected:
    explicit OfficeFixture(OfficeEngineLimits limits = {}) : m_limits(limits) {}
    ~OfficeFixture() override;
    Q_DISABLE_COPY_MOVE(OfficeFixture)

    // At the end of initTestCase, the engine installed.
    virtual void startTestCase() {}
    // At the start of cleanupTestCase, while the engine and its office run.
    virtual void endTestCase() {}
    // Once the engine and its office have gone, before the test folder goes.
    virtual void checkLeftovers() {}

    // For a test that works on the template in one session: the session
    // (quit by cleanupTestCase) and the template written to the temporary
    // folder.
    void openTemplateSession();

    // Uninstalls and ends the engine; returns the office processes of this
    // program still running (none, when the engine ended its office).
    QList<qint64> endOffice();

    std::unique_ptr<TestEnvironment> m_environment;
    QString m_cache;
    std::shared_ptr<Word::Engine> m_engine;
    std::shared_ptr<Word::Application> m_word;
    QString m_template;

private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();

private:
    // The test folder goes and XDG_CACHE_HOME is as it was.
    void leaveTestFolder();

    OfficeEngineLimits m_limits;
    std::unique_ptr<OfficeCacheFolder> m_cacheFolder;
};

// Reads a document back through the office in a session of its own.
OfficeDocumentFacts readBack(const QString& path);
