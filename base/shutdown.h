#pragma once

#include <functional>

// Ending the program from a window handler. The real handler stops the event
// loop (or keeps the program from ever showing a window, when called during
// start-up); tests install their own to see that the program would end.
namespace Shutdown {

void EndProgram(int exitCode = 0);

// True once EndProgram has been called.
bool requested();
int exitCode();

// Use only for testing; an empty function restores the real handler.
void setHandlerForTesting(std::function<void(int)> handler);
void resetForTesting();

} // namespace Shutdown
