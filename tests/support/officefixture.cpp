#include "officefixture.h"

#include "base/appinfo.h"
#include "officeprocesses.h"

#include <QFile>

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

void OfficeFixture::startOffice(OfficeEngineLimits limits)
{
    // The resources live in a static library: nothing else would pull them in.
    LoadProgramResources();
    m_environment = std::make_unique<TestEnvironment>();
    m_cacheFolder = std::make_unique<OfficeCacheFolder>(*m_environment);
    m_cache = m_cacheFolder->path();
    m_engine = createOfficeEngine(limits);
    Word::setEngine(m_engine);
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
