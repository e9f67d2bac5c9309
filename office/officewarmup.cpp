#include "office/officewarmup.h"

#include "office/officeconnection.h"
#include "office/preparedtemplate.h"
#include "office/unonames.h"
#include "office/unotext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QThread>

#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>

using Office::closeQuietly;
using Office::fileUrl;
using Office::properties;

namespace {

// How long the work waits for a starting office to take connections.
constexpr int kConnectMilliseconds = 60000;

} // namespace

void OfficeWarmUp::start(const Reference<uno::XComponentContext>& local, const QString& pipeName,
                         const QString& folder, const QByteArray& sample,
                         std::function<void()> ended)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_running)
            return;
    }
    if (m_thread.joinable())
        m_thread.join();
    m_stopping = false;
    m_running = true;
    m_thread = std::thread([this, local, pipeName, folder, sample, ended = std::move(ended)] {
        run(local, pipeName, folder, sample);
        {
            std::lock_guard lock(m_mutex);
            m_running = false;
        }
        m_ended.notify_all();
        if (ended)
            ended();
    });
}

bool OfficeWarmUp::running()
{
    std::lock_guard lock(m_mutex);
    return m_running;
}

void OfficeWarmUp::stop()
{
    m_stopping = true;
    if (m_thread.joinable())
        m_thread.join();
}

bool OfficeWarmUp::finish(int milliseconds)
{
    m_stopping = true;
    if (!m_thread.joinable())
        return true;
    {
        std::unique_lock lock(m_mutex);
        if (!m_ended.wait_for(lock, std::chrono::milliseconds(milliseconds),
                              [this] { return !m_running; }))
            return false;
    }
    m_thread.join();
    return true;
}

Reference<uno::XComponentContext>
OfficeWarmUp::connectToOffice(const Reference<uno::XComponentContext>& local,
                              const QString& pipeName)
{
    // The office may still be starting: it takes connections once it is ready.
    Reference<uno::XComponentContext> remote;
    const OUString url = toOUString(
        QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext").arg(pipeName));
    QElapsedTimer clock;
    clock.start();
    while (!remote.is() && !m_stopping && clock.elapsed() < kConnectMilliseconds) {
        try {
            remote.set(bridge::UnoUrlResolver::create(local)->resolve(url), UNO_QUERY_THROW);
        } catch (const connection::NoConnectException&) {
            QThread::msleep(50);
        }
    }
    return remote;
}

void OfficeWarmUp::run(Reference<uno::XComponentContext> local, const QString& pipeName,
                       const QString& folder, const QByteArray& sample)
{
    const QDir place(folder);
    const QString samplePath = place.filePath(QStringLiteral("warm-up.dot"));
    const QString documentPath = place.filePath(QStringLiteral("warm-up.doc"));
    Reference<lang::XComponent> document;
    // However the work ends, its document and files go.
    struct CleanUp
    {
        Reference<lang::XComponent>& document;
        QStringList files;
        ~CleanUp()
        {
            closeQuietly(document);
            for (const QString& path : std::as_const(files))
                QFile::remove(path);
        }
    } cleanUp{document, {samplePath, documentPath}};
    try {
        QFile file(samplePath);
        if (!file.open(QIODevice::WriteOnly) || file.write(sample) != sample.size())
            return;
        file.close();

        const Reference<uno::XComponentContext> remote = connectToOffice(local, pipeName);
        if (!remote.is())
            return;
        Reference<frame::XComponentLoader> loader(frame::Desktop::create(remote), UNO_QUERY_THROW);

        // The steps of a generation: read-only template, a search, a Word
        // document written, read back and rendered.
        document = loader->loadComponentFromURL(
            fileUrl(samplePath), "_blank", 0,
            properties({{"Hidden", uno::Any(true)}, {"ReadOnly", uno::Any(true)}}));
        if (!m_stopping)
            replaceAllInDocument(document, FindOptions{QStringLiteral("[warm-up]")}, QString());
        if (!m_stopping)
            Reference<frame::XStorable>(document, UNO_QUERY_THROW)
                ->storeToURL(fileUrl(documentPath),
                             properties({{"FilterName", uno::Any(OUString("MS Word 97"))},
                                         {"Overwrite", uno::Any(true)}}));
        closeQuietly(document);
        document.clear();
        if (!m_stopping)
            document = loader->loadComponentFromURL(fileUrl(documentPath), "_blank", 0,
                                                    properties({{"Hidden", uno::Any(true)}}));
        if (!m_stopping && document.is())
            drawnPagePicture(remote, document, {});
    } catch (...) {
        // Warming up is a favour: whatever fails here fails again, and is
        // reported, when the user asks for a flyer.
    }
}
