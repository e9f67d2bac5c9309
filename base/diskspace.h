#pragma once

#include <QString>

// What to tell the user when a write fails because a disk is full. A failed
// write rarely says so itself (the office reports a store error code, an
// image writer an unknown error), so the writers ask the disk afterwards.
namespace DiskSpace {

// A disk with less than this free counts as full once a write to it failed:
// the largest file the program writes (the page picture) is under 2 MB, and
// the office needs some room of its own beside what it stores.
inline constexpr qint64 kNearlyFullBytes = qint64(16) * 1024 * 1024;

// Bytes this user may still write on the disk holding `path` (the nearest
// existing folder at or above it); -1 when that cannot be found out.
qint64 freeBytes(const QString& path);

// The message for a full disk holding `folder`: which disk, how much is
// free, and `advice` on what to do about it.
QString fullText(const QString& folder, const QString& advice);

// Throws Failure with fullText() when the disk holding `folder` has less
// than kNearlyFullBytes free. Call after a write to `folder` failed.
void throwIfFull(const QString& folder, const QString& advice);

// The usual advice for the program's temporary folder.
QString temporaryFolderAdvice();

} // namespace DiskSpace
