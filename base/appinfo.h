#pragma once

#include <QIcon>
#include <QString>

// The product's display name: caption of both windows and the settings section.
inline constexpr const char* kDisplayName = "Pellamont";

// Title of every message box that has none of its own; set once at start-up.
QString ApplicationTitle();
void SetApplicationTitle(const QString& title);

// The title made from a display name: its last word is cut off, and words keep
// being cut while it is longer than 40 characters. A single word has nothing
// to cut and stays as it is.
QString shortenedTitle(const QString& displayName);

// The folder of the running program, where the optional skin and hand cursor live.
// PELLAMONT_PROGRAM_FOLDER overrides it, for tests.
QString ProgramFolder();

// The program's icon, shared by both windows.
QIcon ProgramIcon();

// Registers the resources compiled into the program (the icon, the flyer
// template). They live in a static library, whose resources Qt only sees once
// registered; safe to call any number of times.
void LoadProgramResources();

// The About box's text: the program and its `version` (none when empty),
// what it does, the document `engine` it works with, and the licence the
// program is given under (the package's, set in packaging/CMakeLists.txt).
QString aboutText(const QString& version, const QString& engine);
