#include "officefixture.h"

#include "base/appinfo.h"
#include "generate/word.h"
#include "officeprocesses.h"

#include <QFile>
#include <QTest>

OfficeCacheFolder::OfficeCacheFolder(const TestEnvironment& environment)
    : m_path(environment.root() + QStringLiteral("/cache")), m_old(qgetenv("XDG_CACHE_HOME")),
      m_had(qEnvironmentVariableIsSet("XDG_CACHE_HOME"))
{
    qputenv("XDG_CACHE_HOME", QFile::encodeName(m_path));
}

OfficeCacheFolder::~OfficeCacheFolder()
{
    if (m_had)
        qputenv("XDG_CACHE_HOME", m_old);
    else
        qunsetenv("XDG_CACHE_HOME");
}

OfficeFixture::~OfficeFixture()
{
    endOffice();
    leaveTestFolder();
}

void OfficeFixture::initTestCase()
{
    // The resources live in a static library: nothing else would pull them in.
    loadProgramResources();
    m_environment = std::make_unique<TestEnvironment>();
    m_cacheFolder = std::make_unique<OfficeCacheFolder>(*m_environment);
    m_cache = m_cacheFolder->path();
    m_engine = createOfficeEngine(m_limits);
    Word::setEngine(m_engine);
    startTestCase();
}

void OfficeFixture::cleanupTestCase()
{
    endTestCase();
    if (m_word)
        m_word->quit();
    m_word.reset();
    const QList<qint64> left = endOffice();
    checkLeftovers();
    leaveTestFolder();
    // The engine takes its office processes with it.
    QCOMPARE(left, QList<qint64>());
}

void OfficeFixture::openTemplateSession()
{
    m_word = Word::CreateApplication();
    m_template = writeEmbeddedTemplate();
}

QList<qint64> OfficeFixture::endOffice()
{
    Word::setEngine(nullptr);
    m_engine.reset();
    return m_cache.isEmpty() ? QList<qint64>() : processesMentioning(m_cache);
}

void OfficeFixture::leaveTestFolder()
{
    m_cacheFolder.reset();
    m_environment.reset();
}

OfficeDocumentFacts readBack(const QString& path)
{
    auto word = Word::CreateApplication();
    auto document = word->documents().open(path, true);
    OfficeDocumentFacts facts = inspectOfficeDocument(*document);
    document->close();
    word->quit();
    return facts;
}
