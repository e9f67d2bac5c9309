#include "faultinjection.h"

#include "officeprocesses.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <signal.h>
#include <unistd.h>

namespace {

using Stage = FaultInjectingEngine::Stage;
using Hook = FaultInjectingEngine::Hook;

class Range final : public Word::Range
{
public:
    Range(std::shared_ptr<Word::Range> inner, std::shared_ptr<Hook> hook)
        : m_inner(std::move(inner)), m_hook(std::move(hook))
    {}
    Word::Find& find() override { return m_inner->find(); }
    QString text() override { return m_inner->text(); }
    void copyAsPicture() override
    {
        (*m_hook)(Stage::DuringSnapshot);
        m_inner->copyAsPicture();
    }

private:
    std::shared_ptr<Word::Range> m_inner;
    std::shared_ptr<Hook> m_hook;
};

class Document final : public Word::Document
{
public:
    Document(std::shared_ptr<Word::Document> inner, std::shared_ptr<Hook> hook)
        : m_inner(std::move(inner)), m_hook(std::move(hook))
    {}
    std::vector<std::shared_ptr<Word::Range>> storyRanges() override
    {
        // Asked once per field: the third request fills the third field.
        if (++m_storyRequests == 3)
            (*m_hook)(Stage::DuringFirstPass);
        return m_inner->storyRanges();
    }
    std::vector<std::shared_ptr<Word::Shape>> shapes() override
    {
        // Shapes are also asked for before the first pass, to learn which
        // box holds which field.
        if (m_storyRequests > 0)
            (*m_hook)(Stage::BetweenPasses);
        return m_inner->shapes();
    }
    using Word::Document::fitTextToShapes;
    std::vector<Word::TextFit> fitTextToShapes(const Word::TextFitLimits& limits,
                                               const Word::TextFitPlan& plan) override
    {
        return m_inner->fitTextToShapes(limits, plan);
    }
    void removeTokenLines(const QStringList& tokens) override { m_inner->removeTokenLines(tokens); }
    std::shared_ptr<Word::Range> range() override
    {
        return std::make_shared<Range>(m_inner->range(), m_hook);
    }
    std::shared_ptr<Word::Shape> addPicture(const QString& fileName, const QRectF& place) override
    {
        return m_inner->addPicture(fileName, place);
    }
    void saveAs(const QString& path) override
    {
        (*m_hook)(Stage::BeforeSave);
        m_inner->saveAs(path);
    }
    void exportAsFixedFormat(const QString& path, int exportFormat) override
    {
        m_inner->exportAsFixedFormat(path, exportFormat);
    }
    void close() override { m_inner->close(); }
    void close(int saveChanges) override { m_inner->close(saveChanges); }

    Word::Document& inner() { return *m_inner; }

private:
    std::shared_ptr<Word::Document> m_inner;
    std::shared_ptr<Hook> m_hook;
    int m_storyRequests = 0;
};

class Application final : public Word::Application, private Word::Documents
{
public:
    Application(std::shared_ptr<Word::Application> inner, std::shared_ptr<Hook> hook)
        : m_inner(std::move(inner)), m_hook(std::move(hook))
    {}
    Word::Documents& documents() override { return *this; }
    std::shared_ptr<Word::Document> activeDocument() override
    {
        return std::make_shared<Document>(m_inner->activeDocument(), m_hook);
    }
    void setDisplayAlerts(bool displayAlerts) override { m_inner->setDisplayAlerts(displayAlerts); }
    QString name() override { return m_inner->name(); }
    QString version() override { return m_inner->version(); }
    void quit() override { m_inner->quit(); }

private:
    std::shared_ptr<Word::Document> open(const QString& path) override { return open(path, false); }
    std::shared_ptr<Word::Document> open(const QString& path, bool readOnly) override
    {
        if (QFileInfo(path).fileName() == QLatin1String("template.dot"))
            (*m_hook)(Stage::BeforeTemplateOpen);
        return std::make_shared<Document>(m_inner->documents().open(path, readOnly), m_hook);
    }

    std::shared_ptr<Word::Application> m_inner;
    std::shared_ptr<Hook> m_hook;
};

} // namespace

FaultInjectingEngine::FaultInjectingEngine(std::shared_ptr<Word::Engine> inner, Hook hook)
    : m_inner(std::move(inner)), m_hook(std::make_shared<Hook>(std::move(hook)))
{}

std::shared_ptr<Word::Application> FaultInjectingEngine::createApplication()
{
    return std::make_shared<Application>(m_inner->createApplication(), m_hook);
}

void signalProcesses(const QList<qint64>& pids, int signal)
{
    for (qint64 pid : pids)
        ::kill(static_cast<pid_t>(pid), signal);
}

bool waitUntilGone(const QList<qint64>& pids, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    for (;;) {
        if (allGone(pids))
            return true;
        if (clock.elapsed() > milliseconds)
            return false;
        QThread::msleep(20);
    }
}

QStringList entriesOf(const QString& folder)
{
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

int openFileDescriptors()
{
    return QDir(QStringLiteral("/proc/self/fd"))
        .entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System)
        .size();
}

qint64 residentKilobytesOf(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLongLong();
    }
    return -1;
}

qint64 residentKilobytes()
{
    return residentKilobytesOf(::getpid());
}
