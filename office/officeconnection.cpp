#include "office/officeconnection.h"

#include "office/officepicture.h"
#include "office/unonames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QScopeGuard>
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

namespace {
// Ends a helper thread that waits on `changed` until `stopping` is set.
void stopThread(std::thread& thread, std::mutex& mutex, std::condition_variable& changed,
                bool& stopping)
{
    {
        std::lock_guard lock(mutex);
        stopping = true;
    }
    changed.notify_all();
    thread.join();
}
} // namespace

Watchdog::Watchdog(OfficeProcess& process) : m_process(process)
{
    m_thread = std::thread([this] { run(); });
}

Watchdog::~Watchdog()
{
    stopThread(m_thread, m_mutex, m_changed, m_stopping);
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

CallThread::CallThread()
{
    // Started once every member it uses is there.
    m_thread = std::thread([this] { loop(); });
}

CallThread::~CallThread()
{
    stopThread(m_thread, m_mutex, m_changed, m_stopping);
}

namespace {
bool onMainThread()
{
    const auto* application = QCoreApplication::instance();
    return Word::EventsDuringCalls::active() && qobject_cast<const QGuiApplication*>(application) &&
           QThread::currentThread() == application->thread();
}
} // namespace

void CallThread::run(const std::function<void()>& work)
{
    if (!onMainThread()) {
        work();
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_work = &work;
        m_done = false;
        m_error = nullptr;
    }
    m_changed.notify_all();
    // Most calls take a few milliseconds: they are waited for without
    // handling events, which a call in between steps would not expect.
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait_for(lock, std::chrono::milliseconds(50), [this] { return m_done; });
    }
    // A long call (a store, a picture) ends when it ends, not at the next
    // few milliseconds' sleep: the wait in between wakes with it.
    for (;;) {
        {
            std::unique_lock lock(m_mutex);
            if (m_changed.wait_for(lock, std::chrono::milliseconds(5), [this] { return m_done; }))
                break;
        }
        QCoreApplication::processEvents(Word::EventsDuringCalls::inputAllowed()
                                            ? QEventLoop::AllEvents
                                            : QEventLoop::ExcludeUserInputEvents,
                                        20);
    }
    std::exception_ptr error;
    {
        std::lock_guard lock(m_mutex);
        error = std::exchange(m_error, nullptr);
    }
    if (error)
        std::rethrow_exception(error);
}

bool CallThread::waitFor(const std::function<bool()>& done, int milliseconds)
{
    QElapsedTimer clock;
    clock.start();
    const bool handleEvents = onMainThread();
    while (!done()) {
        if (milliseconds >= 0 && clock.elapsed() >= milliseconds)
            return false;
        // Keys and clicks wait (the run drops them when it is over); a
        // close request, repaints and timers go through. The office's start
        // behind a window the user types in takes them all.
        if (handleEvents)
            QCoreApplication::processEvents(Word::EventsDuringCalls::inputAllowed()
                                                ? QEventLoop::AllEvents
                                                : QEventLoop::ExcludeUserInputEvents,
                                            20);
        QThread::msleep(handleEvents ? 5 : 20);
    }
    return true;
}

void CallThread::loop()
{
    std::unique_lock lock(m_mutex);
    while (!m_stopping) {
        if (!m_work) {
            m_changed.wait(lock);
            continue;
        }
        const std::function<void()>* work = std::exchange(m_work, nullptr);
        lock.unlock();
        std::exception_ptr error;
        try {
            (*work)();
        } catch (...) {
            error = std::current_exception();
        }
        lock.lock();
        m_error = error;
        m_done = true;
        m_changed.notify_all();
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

bool Connection::starting()
{
    return !m_desktop.is() && (m_process.running() || m_process.exitedForRestart());
}

void Connection::warmUp(const QByteArray& sample)
{
    m_warmUpSample = sample;
    startWarmUp();
}

void Connection::startWarmUp()
{
    // Asked for while a run uses the office (its window handles events while
    // it waits), the warm-up would load a document beside the run's.
    if (m_connecting || m_openApplications > 0)
        return;
    if (m_warmUpSample.isEmpty() || !m_process.running() || m_process.tempFolder().isEmpty())
        return;
    // The preparation waits for the warm-up: a fresh office can hang when
    // two connections load at once.
    m_warmUp.start(localContext(), m_process.pipeName(), m_process.tempFolder(), m_warmUpSample,
                   [weak = weak_from_this()] {
                       if (auto* application = QCoreApplication::instance())
                           QMetaObject::invokeMethod(
                               application,
                               [weak] {
                                   if (auto connection = weak.lock())
                                       connection->prepareTemplate();
                               },
                               Qt::QueuedConnection);
                   });
}

void Connection::schedulePreparation()
{
    if (m_warmUpSample.isEmpty() || !QCoreApplication::instance())
        return;
    QTimer::singleShot(0, QCoreApplication::instance(), [weak = weak_from_this()] {
        if (auto connection = weak.lock())
            connection->prepareTemplate();
    });
}

void Connection::prepareTemplate()
{
    // A run or a warm-up uses the office now; their ends ask again.
    if (m_warmUpSample.isEmpty() || m_openApplications > 0 || m_connecting || m_abandoned ||
        !m_process.running() || m_warmUp.running() || m_recycleScheduled)
        return;
    // Each session's end asks for a preparation, and two may be pending
    // after a run: the second would wait in connect() for the first one's
    // work, with the preview about to be shown.
    if (!m_preparation.finished())
        return;
    try {
        connect();
    } catch (...) {
        // The next run connects and reports what is wrong.
        return;
    }
    m_preparation.start(m_context, m_desktop, m_warmUpSample, m_generation,
                        picturePlan(shared_from_this(), m_generation));
}

std::optional<PreparedDocument> Connection::takePreparedTemplate(const QString& path,
                                                                 int generation)
{
    std::optional<PreparedDocument> prepared = m_preparation.release();
    if (!prepared)
        return std::nullopt;
    bool usable = prepared->generation == generation && generation == m_generation &&
                  QFileInfo(path).size() == prepared->bytes.size();
    if (usable) {
        QFile file(path);
        usable = file.open(QIODevice::ReadOnly) && file.readAll() == prepared->bytes;
    }
    // A document closed behind the program's back answers no more.
    if (usable)
        usable = call([&] {
            try {
                Reference<frame::XModel>(prepared->model, UNO_QUERY_THROW)->getURL();
                return true;
            } catch (const uno::Exception&) {
                return false;
            }
        });
    if (usable)
        return prepared;
    try {
        call([&] { closeQuietly(prepared->model); });
    } catch (...) {
        // Its office has gone, and the document with it.
    }
    return std::nullopt;
}

void Connection::closePreparedTemplate()
{
    std::optional<PreparedDocument> prepared = m_preparation.release();
    if (!prepared || !m_process.running())
        return;
    try {
        call([&] { closeQuietly(prepared->model); });
    } catch (...) {
        // The office goes next in any case.
    }
}

namespace {

// What the user reads when the office ends before it answers: the machine's
// shortage when there is one, else that something ended it.
QString endedWhileStartingText(const QString& lastProblem)
{
    const QString shortage = OfficeProcess::machineShortage();
    return (shortage.isEmpty()
                ? QStringLiteral("The office program that fills the flyer ended while it was "
                                 "starting (another program or the system may have ended it). "
                                 "Start the flyer again; if this keeps happening, restart the "
                                 "computer.")
                : shortage) +
           QStringLiteral("\r\n\r\nDetails: ") + lastProblem;
}

} // namespace

void Connection::giveWayToPreparation()
{
    if (!CallThread::waitFor([this] { return m_preparation.finished(); },
                             m_limits.callMilliseconds))
        m_process.killFromAnyThread();
    m_preparation.join();
}

void Connection::giveWayToWarmUp()
{
    const bool finished =
        CallThread::waitFor([this] { return m_warmUp.finish(0); }, m_limits.callMilliseconds);
    if (!finished) {
        m_process.killFromAnyThread();
        m_warmUp.stop();
    }
}

int Connection::connect()
{
    m_abandoned = false;
    m_connecting = true;
    const auto connected = qScopeGuard([this] { m_connecting = false; });
    giveWayToWarmUp();
    giveWayToPreparation();
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
            throw Failure(endedWhileStartingText(m_process.lastProblem()));
        }
        if (clock.elapsed() > m_limits.connectMilliseconds) {
            m_process.stop();
            m_process.checkProfileDisk();
            throw Failure(QStringLiteral("The office did not answer within %1 seconds of "
                                         "its start and was ended.")
                              .arg(m_limits.connectMilliseconds / 1000));
        }
        if (m_abandoned) {
            m_process.stop();
            throw Failure(lostText({}));
        }
        CallThread::waitFor([] { return false; }, 50);
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
    if (--m_openApplications > 0)
        return;
    if (m_limits.recycleAfterApplications > 0 &&
        m_applicationsServed >= m_limits.recycleAfterApplications && !m_recycleScheduled &&
        QCoreApplication::instance()) {
        m_recycleScheduled = true;
        QTimer::singleShot(0, QCoreApplication::instance(), [weak = weak_from_this()] {
            if (auto connection = weak.lock())
                connection->recycle();
        });
        return;
    }
    schedulePreparation();
}

void Connection::shutdown()
{
    closePreparedTemplate();
    drop();
    m_process.stop();
    // With the office gone, a call the warm-up or the preparation waits for
    // returns at once.
    m_warmUp.stop();
    m_preparation.join();
    // What was prepared meanwhile went with the office.
    m_preparation.release();
}

void Connection::recycle()
{
    m_recycleScheduled = false;
    // An application started meanwhile keeps the office; its quit tries again.
    // So does one being started: a run's window handles events while it
    // waits for the office, and this may come then.
    if (m_openApplications > 0 || m_connecting)
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

void Connection::abandon()
{
    m_abandoned = true;
    m_process.killFromAnyThread();
}

QString Connection::lostText(const QString& detail) const
{
    const QString text =
        m_abandoned ? QStringLiteral("The flyer was not finished because Pellamont is closing.")
                    : QStringLiteral("The office program that fills the flyer stopped working in "
                                     "the middle of the run (another program or the system may "
                                     "have ended it, for example when memory ran short). Nothing "
                                     "you typed is lost: start the flyer again, and the office is "
                                     "started afresh.");
    return detail.isEmpty() ? text : text + QStringLiteral("\r\n\r\nDetails: ") + detail;
}

QString Connection::withShortage(const QString& detail)
{
    const QString shortage = OfficeProcess::machineShortage();
    return shortage.isEmpty() ? detail : shortage + QStringLiteral("\r\n\r\nDetails: ") + detail;
}

QString Connection::timeoutText() const
{
    return QStringLiteral("The office program that fills the flyer did not answer within %1 "
                          "seconds and was ended. Nothing you typed is lost: start the flyer "
                          "again.")
        .arg(m_limits.callMilliseconds / 1000);
}

} // namespace Office
