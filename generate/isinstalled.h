#pragma once

#include <QString>

namespace IsInstalled {

// The advice shown when no document engine can be started.
QString wordMissingText();

// Proves that the document engine can be started: starts an application and
// quits it again. When none can be started, shows the advice and ends the
// program (Shutdown::EndProgram), storing nothing.
void CheckWordInstalled();

} // namespace IsInstalled
