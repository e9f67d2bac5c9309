#include "office/officeconnection.h"

#include "office/unonames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>
#include <QTimer>
#include <QUrl>

#include <com/sun/star/beans/XPropertySet.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/bridge/XUnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/exc_hlp.hxx>

namespace Office {

Reference<uno::XComponentContext> localContext()
{
    static auto* context = [] {
        // Without this the runtime cannot find its own type libraries.
        if (!qEnvironmentVariableIsSet("URE_BOOTSTRAP"))
            qputenv("URE_BOOTSTRAP",
                    "vnd.sun.star.pathname:" PELLAMONT_OFFICE_PROGRAM_DIR "/fundamentalrc");
        return new Reference<uno::XComponentContext>(
            cppu::defaultBootstrap_InitialComponentContext());
    }();
    return *context;
}

Watchdog::Watchdog(OfficeProcess& process) : m_process(process)
{
    m_thread = std::thread([this] { run(); });
}

Watchdog::~Watchdog()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_changed.notify_all();
    m_thread.join();
}

void Watchdog::arm(int milliseconds)
{
    {
        std::lock_guard lock(m_mutex);
        m_deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
        m_armed = true;
        m_fired = false;
    }
    m_changed.notify_all();
}

bool Watchdog::disarm()
{
    std::lock_guard lock(m_mutex);
    m_armed = false;
    return m_fired;
}

void Watchdog::run()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (!m_armed) {
            m_changed.wait(lock);
            continue;
        }
        if (m_changed.wait_until(lock, m_deadline) == std::cv_status::timeout && m_armed &&
            std::chrono::steady_clock::now() >= m_deadline) {
            m_fired = true;
            m_armed = false;
            m_process.killFromAnyThread();
        }
    }
}

QString describeUnoException(const uno::Exception& e)
{
    QString message = toQString(e.Message).trimmed();
    if (!message.isEmpty())
        return message;
    const uno::Any caught = cppu::getCaughtException();
    return QStringLiteral("The office reported a failure (%1) without a description.")
        .arg(toQString(caught.getValueTypeName()));
}

uno::Sequence<beans::PropertyValue>
properties(std::initializer_list<std::pair<const char*, uno::Any>> values)
{
    uno::Sequence<beans::PropertyValue> result(static_cast<sal_Int32>(values.size()));
    auto* out = result.getArray();
    for (const auto& [name, value] : values) {
        out->Name = OUString::createFromAscii(name);
        out->Value = value;
        ++out;
    }
    return result;
}

void setProperties(const Reference<uno::XInterface>& object,
                   std::initializer_list<std::pair<const char*, uno::Any>> values)
{
    Reference<beans::XPropertySet> set(object, UNO_QUERY_THROW);
    for (const auto& [name, value] : values)
        set->setPropertyValue(OUString::createFromAscii(name), value);
}

// True when the office read a document with one of its plain text filters,
// which accept whatever a file holds.
bool readAsPlainText(const Reference<lang::XComponent>& component)
{
    Reference<frame::XModel> model(component, UNO_QUERY);
    if (!model.is())
        return false;
    const auto arguments = model->getArgs();
    for (const auto& argument : arguments) {
        OUString filter;
        if (argument.Name == "FilterName" && (argument.Value >>= filter))
            return filter.startsWith("Text");
    }
    return false;
}

OUString fileUrl(const QString& path)
{
    return toOUString(
        QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
}

void Connection::prepare()
{
    try {
        m_process.start();
    } catch (...) {
        // The first start reports it.
    }
}

void Connection::warmUp(const QByteArray& sample)
{
    m_warmUpSample = sample;
    startWarmUp();
}

void Connection::startWarmUp()
{
    if (m_warmUpSample.isEmpty() || !m_process.running() || m_process.tempFolder().isEmpty())
        return;
    m_warmUp.start(localContext(), m_process.pipeName(), m_process.tempFolder(), m_warmUpSample);
}

void Connection::giveWayToWarmUp()
{
    if (!m_warmUp.finish(m_limits.callMilliseconds)) {
        m_process.killFromAnyThread();
        m_warmUp.stop();
    }
}

int Connection::connect()
{
    giveWayToWarmUp();
    if (m_desktop.is() && m_process.running())
        return m_generation;
    drop();
    m_process.start();
    m_applicationsServed = 0;
    m_openApplications = 0;
    QElapsedTimer clock;
    clock.start();
    Reference<uno::XInterface> remote;
    while (!remote.is()) {
        const OUString url =
            toOUString(QStringLiteral("uno:pipe,name=%1;urp;StarOffice.ComponentContext")
                           .arg(m_process.pipeName()));
        try {
            m_watchdog.arm(m_limits.connectMilliseconds);
            auto resolver = bridge::UnoUrlResolver::create(localContext());
            remote = resolver->resolve(url);
            m_watchdog.disarm();
            break;
        } catch (const connection::NoConnectException&) {
            m_watchdog.disarm();
        } catch (const uno::Exception& e) {
            const bool fired = m_watchdog.disarm();
            throw Failure(fired ? timeoutText() : describeUnoException(e));
        }
        if (!m_process.running()) {
            if (m_process.exitedForRestart()) {
                m_process.start();
                continue;
            }
            m_process.checkProfileDisk();
            throw Failure(QStringLiteral("The office process ended while starting. %1")
                              .arg(m_process.lastProblem()));
        }
        if (clock.elapsed() > m_limits.connectMilliseconds) {
            m_process.stop();
            m_process.checkProfileDisk();
            throw Failure(QStringLiteral("The office did not answer within %1 seconds of "
                                         "its start and was ended.")
                              .arg(m_limits.connectMilliseconds / 1000));
        }
        QThread::msleep(50);
    }
    call([&] {
        m_context.set(remote, UNO_QUERY_THROW);
        m_desktop = frame::Desktop::create(m_context);
    });
    return ++m_generation;
}

void Connection::checkGeneration(int generation)
{
    if (generation != m_generation || !m_desktop.is() || !m_process.running()) {
        if (!m_process.running())
            drop();
        throw Word::EngineLost(
            QStringLiteral("The office process has ended; start the document engine again."));
    }
}

void Connection::applicationOpened()
{
    ++m_applicationsServed;
    ++m_openApplications;
}

void Connection::applicationClosed(int generation)
{
    if (generation != m_generation || m_openApplications == 0)
        return;
    if (--m_openApplications == 0 && m_limits.recycleAfterApplications > 0 &&
        m_applicationsServed >= m_limits.recycleAfterApplications && !m_recycleScheduled &&
        QCoreApplication::instance()) {
        m_recycleScheduled = true;
        QTimer::singleShot(0, QCoreApplication::instance(), [weak = weak_from_this()] {
            if (auto connection = weak.lock())
                connection->recycle();
        });
    }
}

void Connection::shutdown()
{
    drop();
    m_process.stop();
    // With the office gone, a call the warm-up waits for returns at once.
    m_warmUp.stop();
}

void Connection::recycle()
{
    m_recycleScheduled = false;
    // An application started meanwhile keeps the office; its quit tries again.
    if (m_openApplications > 0)
        return;
    shutdown();
    prepare();
    startWarmUp();
}

void Connection::failed()
{
    m_timedOut = m_watchdog.disarm();
    if (m_timedOut || !m_process.running())
        drop();
}

void Connection::drop()
{
    try {
        m_desktop.clear();
        m_context.clear();
    } catch (...) {
        // Releasing proxies of a dead office may complain; nothing is lost.
    }
    ++m_generation;
}

QString Connection::timeoutText() const
{
    return QStringLiteral("The office did not answer within %1 seconds and was ended.")
        .arg(m_limits.callMilliseconds / 1000);
}

} // namespace Office
