#pragma once

// The office's warm-up: only the office adapter includes this (UNO headers).

#include <QByteArray>
#include <QString>

#include <com/sun/star/uno/XComponentContext.hpp>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// A freshly started office loads its filters, fonts and caches on first use,
// which makes the first flyer several times slower than the next. This works
// the office once through a sample document, on a thread and a connection of
// its own so that nobody waits for it: load the sample hidden, search it,
// store it as a Word document, load that and render its page. The files live
// in the office's own temporary folder and go when the work ends.
class OfficeWarmUp
{
public:
    OfficeWarmUp() = default;
    ~OfficeWarmUp() { stop(); }
    Q_DISABLE_COPY_MOVE(OfficeWarmUp)

    // Starts the work on the office listening on `pipeName`, unless a warm-up
    // is still under way. `local` is this program's UNO runtime. `ended` is
    // called on the work's thread once it is over, however it ended.
    void start(const css::uno::Reference<css::uno::XComponentContext>& local,
               const QString& pipeName, const QString& folder, const QByteArray& sample,
               std::function<void()> ended = {});
    // True while the work is under way.
    bool running();
    // Asks the work to end and waits for it. A call the office is still
    // working on is waited for: end a hung office first.
    void stop();
    // Asks the work to end after the office call it waits for, and waits up
    // to `milliseconds` for that; false when it has not ended by then.
    bool finish(int milliseconds);

private:
    // The office's own context through its pipe, once it takes connections;
    // empty when it did not in time or the work was stopped.
    css::uno::Reference<css::uno::XComponentContext>
    connectToOffice(const css::uno::Reference<css::uno::XComponentContext>& local,
                    const QString& pipeName);
    void run(css::uno::Reference<css::uno::XComponentContext> local, const QString& pipeName,
             const QString& folder, const QByteArray& sample);

    std::thread m_thread;
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::condition_variable m_ended;
    bool m_running = false; // guarded by m_mutex
};
