#pragma once

#include "generate/word.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>

// A document engine that forwards every operation to a real one and calls a
// hook at the points of a generation where the office can be made to fail:
// the tests use it to kill or freeze the office at a chosen moment.
class FaultInjectingEngine final : public Word::Engine
{
public:
    enum class Stage {
        BeforeTemplateOpen, // the filled template is about to be opened
        DuringFirstPass,    // the third field of the story pass is about to be filled
        BetweenPasses,      // the text boxes are about to be listed for the second pass
        BeforeSave,         // the filled document is about to be saved
        DuringSnapshot,     // the page is about to be put on the clipboard
    };
    using Hook = std::function<void(Stage)>;

    FaultInjectingEngine(std::shared_ptr<Word::Engine> inner, Hook hook);

    std::shared_ptr<Word::Application> createApplication() override;
    void prepare() override { m_inner->prepare(); }
    void abandon() override { m_inner->abandon(); }
    QString unavailableText() const override { return m_inner->unavailableText(); }

private:
    std::shared_ptr<Word::Engine> m_inner;
    std::shared_ptr<Hook> m_hook;
};

// Sends `signal` to every process in `pids`.
void signalProcesses(const QList<qint64>& pids, int signal);
// Waits up to `milliseconds` for every process in `pids` to end (a zombie
// counts as ended); true when they have.
bool waitUntilGone(const QList<qint64>& pids, int milliseconds);
// The names of the entries of `folder` (hidden ones included), sorted.
QStringList entriesOf(const QString& folder);
// The number of file descriptors this process holds open.
int openFileDescriptors();
// This process's resident memory in kilobytes.
qint64 residentKilobytes();
// The same for the process `pid`; -1 when it cannot be read.
qint64 residentKilobytesOf(qint64 pid);
