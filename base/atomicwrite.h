#pragma once

#include <QString>

#include <functional>

class QIODevice;

// A file written whole or not at all: into a file of its own beside the
// target, then given the target's name in one step. A reader never meets
// half a file, a failure leaves an existing file as it was, and whatever
// stood under the name (a link included) is replaced, never written
// through. A replaced file keeps its permissions; a new one gets the usual
// ones. The page picture, the saved documents and the kept picture are all
// written so.
namespace AtomicWrite {

enum class Durability {
    Quick,  // a file that lives for a moment: not forced to the disk, which
            // costs more than the write on a busy machine
    Durable // the user's file: it and its new name are on the disk when
            // the write returns, whatever crashes afterwards
};

// Why a write failed and at which step, for the writer's own message.
struct Failed
{
    enum class Step { Open, Write, Rename };
    Step step;
    QString reason;
};

// Writes the file `path` with what `fill` writes to the device it is given;
// `fill` returns false when it could not write it all. Throws Failed; what
// `fill` throws passes through, and no file is left beside the target.
void write(const QString& path, Durability durability, const std::function<bool(QIODevice&)>& fill);

} // namespace AtomicWrite
