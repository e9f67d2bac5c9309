#pragma once

#include <QString>
#include <QStringList>

// The per-user store of the flyer data: application "Corvanti", section
// "Pellamont", one text value per key. Kept in the XDG config folder
// ($XDG_CONFIG_HOME/Corvanti.conf, usually ~/.config/Corvanti.conf).

// The stored text of `key`, or the empty text when nothing was ever stored.
QString ReadSetting(const QString& key);

// Stores `value` under `key`, on disk before it returns. Throws Failure when
// the store cannot be written; the value is then kept in memory and written
// with the next write that succeeds, so nothing typed meanwhile is lost once
// the store can be written again.
void WriteSetting(const QString& key, const QString& value);

namespace SettingsStore {
// The file that holds the store.
QString filePath();
// Points the store at another file and forgets what this run has reported;
// use only for testing.
void useFileForTesting(const QString& path);

// Tells the user, once per run, that changes cannot be saved. Callers that
// write on every keystroke use this instead of an error report per keystroke.
void reportWriteFailureOnce(const QString& description);

// The keys whose last value is in memory only: the store could not be
// written since it changed. Empty when everything is on disk.
QStringList unsavedKeys();
// Why the last write failed, in plain words (empty when none failed).
QString lastWriteProblem();

// Where a damaged store file was copied before it was first written over, or
// the empty text when the file was sound (or this run has not opened it yet).
QString damagedCopyPath();
} // namespace SettingsStore
