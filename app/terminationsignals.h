#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP (a logout, a shutdown, Ctrl+C, a closed
// terminal) into a Qt signal on the event loop, so that the program can end
// through the closing steps of its windows instead of losing what they store.
// A signal handler may only do async-signal-safe work: it writes the signal's
// number to a socket pair, whose other end the event loop watches. One object
// at a time; the default dispositions come back when it goes.
class TerminationSignals final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TerminationSignals)

public:
    explicit TerminationSignals(QObject* parent = nullptr);
    ~TerminationSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPending();

    QSocketNotifier* m_notifier = nullptr;
};
