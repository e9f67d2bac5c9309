#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

// One program per user and settings store: two windows on one store would
// each write their own lists over the other's. The first program holds a
// lock file and listens on a local socket, both named after the user and
// the settings file (so a test or a developer with a store of their own runs
// beside the user's program); a later start asks it to come to the front
// and ends. The lock of a killed program is recognised as stale by its
// process number, and its socket is replaced, so neither blocks a start.
class SingleInstance final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(SingleInstance)

public:
    // Takes the lock for the store at `settingsFile`, or asks the program
    // that holds it to come to the front.
    explicit SingleInstance(const QString& settingsFile, QObject* parent = nullptr);
    ~SingleInstance() override;

    // False when another program runs on the same store (it was asked to
    // come to the front): this one is to end.
    bool isFirst() const { return m_first; }

    // The lock file and socket for `settingsFile`: in the user's runtime
    // folder, or the temporary folder, without the extension.
    static QString basePath(const QString& settingsFile);

Q_SIGNALS:
    // A later start asked this program to show itself.
    void raiseRequested();

private:
    void takeConnection();

    std::unique_ptr<QLockFile> m_lock;
    QLocalServer m_server;
    bool m_first = true;
};
