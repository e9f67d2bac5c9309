#pragma once

#include <QString>

// The per-user store of the flyer data: application "Corvanti", section
// "Pellamont", one text value per key. Kept in the XDG config folder
// ($XDG_CONFIG_HOME/Corvanti.conf, usually ~/.config/Corvanti.conf).

// The stored text of `key`, or the empty text when nothing was ever stored.
QString ReadSetting(const QString& key);

// Stores `value` under `key`, on disk before it returns. Throws Failure when
// the store cannot be written.
void WriteSetting(const QString& key, const QString& value);

namespace SettingsStore {
// The file that holds the store.
QString filePath();
// Points the store at another file; use only for testing.
void useFileForTesting(const QString& path);
} // namespace SettingsStore
