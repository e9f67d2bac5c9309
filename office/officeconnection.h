#pragma once

// The office process and the bridge to it, for the engine's adapters and its
// document-facts reader: every UNO call runs through Connection::call(), which
// applies the time limit (the watchdog) and turns UNO exceptions into
// Failures. Brings in UNO headers: only the LibreOffice engine includes it.

#include "base/failure.h"
#include "generate/word.h"
#include "office/officeengine.h"
#include "office/officeprocess.h"
#include "office/officewarmup.h"
#include "office/preparedtemplate.h"
#include "office/unotext.h"

#include <QString>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <functional>
#include <initializer_list>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <type_traits>
#include <utility>

namespace Office {

// The UNO runtime of this program, which only talks to the office process.
// Created once and never torn down: its libraries outlive static destruction
// badly.
css::uno::Reference<css::uno::XComponentContext> localContext();

QString describeUnoException(const css::uno::Exception& e);

css::uno::Sequence<css::beans::PropertyValue>
properties(std::initializer_list<std::pair<const char*, css::uno::Any>> values);

// Sets `values` on `object` one after the other, in the order given.
void setProperties(const css::uno::Reference<css::uno::XInterface>& object,
                   std::initializer_list<std::pair<const char*, css::uno::Any>> values);

// True when the office read a document with one of its plain text filters,
// which accept whatever a file holds.
bool readAsPlainText(const css::uno::Reference<css::lang::XComponent>& component);

OUString fileUrl(const QString& path);

// Ends the office when one call takes longer than the limit, so that the
// blocked call returns (with an error) instead of hanging the program.
class Watchdog
{
public:
    explicit Watchdog(OfficeProcess& process);
    ~Watchdog();
    Q_DISABLE_COPY_MOVE(Watchdog)

    void arm(int milliseconds);
    // True when the limit ran out since arm() and the office was ended.
    bool disarm();

private:
    void run();

    OfficeProcess& m_process;
    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::chrono::steady_clock::time_point m_deadline;
    bool m_armed = false;
    bool m_fired = false;
    bool m_stopping = false;
};

// Runs the office calls of the program's main thread on a thread of their
// own while the main thread goes on handling its events, so that the windows
// repaint, show that work is going on and take a close request while the
// office works. Elsewhere (a command line program, a test's or the warm-up's
// thread) a call runs where it is made.
class CallThread
{
public:
    CallThread();
    ~CallThread();
    Q_DISABLE_COPY_MOVE(CallThread)

    // Runs `work` and returns when it is done; what it throws is thrown here.
    void run(const std::function<void()>& work);
    // Waits up to `milliseconds` for `done`, handling the main thread's events
    // meanwhile (only there); true when `done` came true.
    static bool waitFor(const std::function<bool()>& done, int milliseconds);

private:
    void loop();

    std::thread m_thread;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    const std::function<void()>* m_work = nullptr;
    std::exception_ptr m_error;
    bool m_done = false;
    bool m_stopping = false;
};

// The office process, the bridge to it and the one desktop that loads every
// document. Every UNO call of the adapter runs through call(), which applies
// the time limit and turns UNO exceptions into Failures.
class Connection : public std::enable_shared_from_this<Connection>
{
public:
    explicit Connection(OfficeEngineLimits limits) : m_limits(limits), m_watchdog(m_process) {}
    ~Connection() { shutdown(); }
    Q_DISABLE_COPY_MOVE(Connection)

    void prepare();
    // The office prepare() started runs (or asked to be started again) but
    // has not been connected to yet.
    bool starting();
    // Remembers the sample for every office this connection starts, and
    // works the running one through it. The sample is the template every
    // run opens: once the warm-up is over, and whenever the office is idle
    // again, a document of it is prepared (prepareTemplate()).
    void warmUp(const QByteArray& sample);
    // Starts preparing the template's document when the office is idle and
    // none is ready.
    void prepareTemplate();
    // The document prepared from the sample, for an application of
    // `generation` opening the file at `path` read-only, when the file holds
    // exactly the sample's bytes and the document is still whole; the
    // caller owns it. Nothing when a run opens the file itself.
    std::optional<PreparedDocument> takePreparedTemplate(const QString& path, int generation);

    // Connected to a live office; returns the generation of this connection,
    // which objects remember to notice that "their" office has gone.
    int connect();

    // Runs one step of UNO calls under the time limit.
    template <typename Step> auto call(Step&& step) -> decltype(step())
    {
        if (m_depth > 0)
            return step();
        struct Depth
        {
            int& depth;
            explicit Depth(int& d) : depth(d) { ++depth; }
            ~Depth() { --depth; }
        } depth(m_depth);
        m_watchdog.arm(m_limits.callMilliseconds);
        try {
            if constexpr (std::is_void_v<decltype(step())>) {
                m_callThread.run([&] { step(); });
                m_watchdog.disarm();
            } else {
                std::optional<decltype(step())> result;
                m_callThread.run([&] { result.emplace(step()); });
                m_watchdog.disarm();
                return std::move(*result);
            }
        } catch (const css::lang::DisposedException& e) {
            // The bridge is gone: whatever is left of the office is no use.
            failed();
            m_process.stop();
            drop();
            throw Word::EngineLost(m_timedOut ? timeoutText() : lostText(describeUnoException(e)));
        } catch (const css::uno::Exception& e) {
            failed();
            if (m_timedOut)
                throw Word::EngineLost(timeoutText());
            // The bridge can report its end before the process's end is seen.
            const QString detail = describeUnoException(e);
            if (!m_process.running() || detail.contains(QLatin1String("URP bridge"))) {
                m_process.stop();
                drop();
                throw Word::EngineLost(lostText(detail));
            }
            throw Failure(withShortage(detail));
        } catch (...) {
            failed();
            if (m_timedOut)
                throw Word::EngineLost(timeoutText());
            throw;
        }
    }

    // Throws when the office this object belongs to is no longer there.
    void checkGeneration(int generation);

    // Counts the applications of the running office. When the last one of
    // enough has quit, the office is started afresh once the program is idle,
    // which gives back the memory its caches took; the new office is warm
    // again by the time the user asks for the next flyer.
    void applicationOpened();
    void applicationClosed(int generation);

    css::uno::Reference<css::frame::XDesktop2> desktop() const { return m_desktop; }
    css::uno::Reference<css::uno::XComponentContext> context() const { return m_context; }

    void shutdown();
    // Ends the office at once: the call in progress, and every later one of
    // the applications open now, fails as with an office that has ended.
    void abandon();

private:
    void recycle();
    void startWarmUp();
    // A fresh office can hang when two connections load documents at once:
    // the warm-up ends after the office call it waits for before anyone
    // else uses the office. An office that does not finish that call within
    // the limit is hung and is ended.
    void giveWayToWarmUp();
    // Whoever uses the office waits for the template's preparation, which
    // uses the same connection; an office that does not finish within the
    // limit is hung and is ended.
    void giveWayToPreparation();
    void closePreparedTemplate();
    void schedulePreparation();
    void failed();
    // Forgets the bridge's objects; a later connect() starts afresh.
    void drop();
    QString timeoutText() const;
    // Why the office is gone in plain words; the office's own text follows.
    QString lostText(const QString& detail) const;
    // The office's text of a failed call, after what on this machine is
    // short, when something is.
    static QString withShortage(const QString& detail);

    OfficeEngineLimits m_limits;
    OfficeProcess m_process;
    Watchdog m_watchdog;
    CallThread m_callThread;
    std::atomic<bool> m_abandoned = false;
    OfficeWarmUp m_warmUp;
    QByteArray m_warmUpSample;
    TemplatePreparation m_preparation;
    css::uno::Reference<css::uno::XComponentContext> m_context;
    css::uno::Reference<css::frame::XDesktop2> m_desktop;
    int m_applicationsServed = 0;
    int m_openApplications = 0;
    bool m_recycleScheduled = false;
    bool m_connecting = false;
    int m_generation = 0;
    int m_depth = 0;
    bool m_timedOut = false;
};

// Runs `step` on the model behind a document of this engine, its layout
// released, under the time limit; throws Failure for other engines' documents.
void withDocumentModel(
    Word::Document& document,
    const std::function<void(const css::uno::Reference<css::lang::XComponent>&)>& step);

// What every object of one application shares: the connection and the
// generation of the office it was made on.
struct Session
{
    std::shared_ptr<Connection> connection;
    int generation = 0;

    template <typename Step> auto call(Step&& step) -> decltype(step())
    {
        connection->checkGeneration(generation);
        return connection->call(std::forward<Step>(step));
    }
};

} // namespace Office
