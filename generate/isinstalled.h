#pragma once

#include <QString>

namespace IsInstalled {

// The advice shown when no document engine can be started, worded for the
// engine in use.
QString wordMissingText();

// Proves that the document engine can be started: starts an application and
// quits it again. When none can be started, shows the advice and ends the
// program (Shutdown::endProgram), storing nothing. When this machine keeps the
// engine from starting (a full disk, a folder that cannot be made), says that
// instead and ends the same way.
// A check cut short by the program's own end says nothing.
void CheckWordInstalled();

// True while the engine's start is still going on, so that the check would
// wait for it (an office that never answers: for its whole time limit).
bool startPending();

} // namespace IsInstalled
