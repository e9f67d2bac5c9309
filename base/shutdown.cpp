#include "base/shutdown.h"

#include <QCoreApplication>

namespace {
struct State
{
    bool requested = false;
    int exitCode = 0;
    std::function<void(int)> handler;
};

State& state()
{
    static State value;
    return value;
}
} // namespace

namespace Shutdown {

void EndProgram(int exitCode)
{
    State& s = state();
    s.requested = true;
    s.exitCode = exitCode;
    if (s.handler)
        s.handler(exitCode);
    else
        QCoreApplication::exit(exitCode);
}

bool requested()
{
    return state().requested;
}

int exitCode()
{
    return state().exitCode;
}

void setHandlerForTesting(std::function<void(int)> handler)
{
    state().handler = std::move(handler);
}

void resetForTesting()
{
    state() = State{};
}

} // namespace Shutdown
