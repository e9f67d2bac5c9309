#pragma once

#include <QByteArray>
#include <QString>

// Small file helpers shared by both windows. The window colours of this
// module, ResetFormColors, lives in the window kit (gui/windowkit.h).
namespace Main {

// True when a file (not a folder) can be found at `path`; any failure gives false.
bool FileExists(const QString& path);

// Deletes the file at `path`; a missing file or any other failure is ignored.
void DeleteFileQuietly(const QString& path);

// Writes `bytes` to `path` unless something already exists there; an existing
// file is never touched. Pending window events run first, so other handlers may
// run inside this call. Throws Failure when the file cannot be created or written.
void WriteFileIfAbsent(const QByteArray& bytes, const QString& path);

// The program's own folder for short-lived files ("template.dot", "temp.bmp",
// the filled documents). Each running program has one of its own, inside a
// folder of this user alone in the system's temporary folder (the variable
// "temp" in any letter case, else TMPDIR, else /tmp), so that two programs
// side by side never share a file; it is created on first use. Fixed file
// names in a folder that other users can write to could be planted or
// replaced by links, so a folder that is a link or belongs to someone else is
// refused with a Failure.
QString tempFolder();

// Removes this program's folder with whatever is still in it; at the end of
// the program.
void releaseTempFolder();

// Removes what programs that are no longer running left in the user's folder
// (a killed or crashed program leaves its filled document there), and nothing
// of a program running now. At start-up.
void removeLeftovers();

// The system temporary folder that tempFolder() lives in.
QString systemTempFolder();

} // namespace Main
