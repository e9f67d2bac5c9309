#pragma once

#include <QString>

// The folder and names the save dialogs offer.

// Where the file dialogs open: the folder the user last saved to (settings
// key "SaveFolder") while it is there, else the user's documents folder, else
// the home folder.
QString saveFolder();
// Keeps the folder of `savedFile` for the next dialog. A store that cannot
// be written is told once, as for the flyer's fields; the save itself stands.
void rememberSaveFolder(const QString& savedFile);
// "<name> <ending>" as a file name that every file system takes: characters
// that file dialogs or other systems refuse become spaces, runs of spaces
// one, no leading dot, at most 100 characters before the ending. Only the
// ending when `name` leaves nothing ("flyer.pdf").
QString safeFileName(const QString& name, const QString& ending);
