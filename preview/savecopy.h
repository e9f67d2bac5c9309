#pragma once

#include <QString>

// Copies the file at `source` to `target`, byte for byte, so that `target`
// is never seen half-written: the copy goes to a temporary file beside the
// target, reaches the disk, and then takes the target's name in one step.
// Until that step an existing target is untouched, so a failure anywhere
// leaves it as it was. Throws Failure with the reason when the copy cannot
// be made (source gone, folder not writable, disk full, target is the source).
void copyFileSafely(const QString& source, const QString& target);

// Why a save may not write to `target`, for the user, or the empty text when
// it may: a folder, or anything but a regular file (followed through links).
QString refusedTarget(const QString& target);

// True when anything has the name `target`, a link to nothing included: a
// save asks before replacing it.
bool targetTaken(const QString& target);

// The question asked before a save replaces the existing file `target`.
QString overwriteQuestion(const QString& target);
