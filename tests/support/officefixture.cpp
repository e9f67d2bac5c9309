#include "officefixture.h"

#include "base/appinfo.h"
#include "generate/word.h"
#include "officeprocesses.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTest>
#include <QUrl>

#include <signal.h>
#include <unistd.h>

namespace {

// The office's sockets in the shared temporary folder that a test's offices
// would leave: the connection's (named after this process) and the
// single-instance socket of each profile in `cache`, which the office names
// after the MD5 of the profile's URL in UTF-16, a byte at a time in hexadecimal.
QStringList officeSocketsLeft(const QString& cache)
{
    const QString prefix = QStringLiteral("OSL_PIPE_%1_").arg(::getuid());
    QStringList names;
    for (int slot = 0; slot < 4; ++slot) {
        const QString url =
            QUrl::fromLocalFile(cache + QStringLiteral("/pellamont/profile-%1").arg(slot))
                .toString(QUrl::FullyEncoded);
        const QByteArray bytes(reinterpret_cast<const char*>(url.utf16()), url.size() * 2);
        QString digest;
        for (const char byte : QCryptographicHash::hash(bytes, QCryptographicHash::Md5))
            digest += QString::number(quint8(byte), 16);
        names << prefix + QStringLiteral("SingleOfficeIPC_") + digest;
    }
    // This process's, and those of programs it ran that are gone now.
    const QDir tmp(QStringLiteral("/tmp"));
    QStringList left;
    for (const QString& name :
         tmp.entryList({prefix + QStringLiteral("pellamont-*")}, QDir::System | QDir::Files)) {
        const qint64 pid = name.section(QLatin1Char('-'), 1, 1).toLongLong();
        if (pid == QCoreApplication::applicationPid() || ::kill(pid_t(pid), 0) != 0)
            left << name;
    }
    for (const QString& name : names)
        if (QFileInfo(tmp.filePath(name)).exists())
            left << name;
    return left;
}

} // namespace

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
    const QStringList sockets = officeSocketsLeft(m_cache);
    leaveTestFolder();
    // The engine takes its office processes with it, and their sockets.
    QCOMPARE(left, QList<qint64>());
    QVERIFY2(sockets.isEmpty(), qPrintable(sockets.join(QLatin1Char(' '))));
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
