#include "base/savefolder.h"

#include "base/failure.h"
#include "base/settings.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

// Beside the flyer's own keys; they stay as they are.
const char kSaveFolderKey[] = "SaveFolder";

constexpr qsizetype kLongestName = 100;

bool isFolder(const QString& path)
{
    return !path.isEmpty() && QFileInfo(path).isDir();
}

} // namespace

QString saveFolder()
{
    QString remembered = ReadSetting(QLatin1String(kSaveFolderKey));
    if (isFolder(remembered))
        return remembered;
    QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (isFolder(documents))
        return documents;
    return QDir::homePath();
}

void rememberSaveFolder(const QString& savedFile)
{
    const QString folder = QFileInfo(savedFile).absolutePath();
    if (savedFile.isEmpty() || folder == ReadSetting(QLatin1String(kSaveFolderKey)))
        return;
    try {
        WriteSetting(QLatin1String(kSaveFolderKey), folder);
    } catch (const Failure& failure) {
        SettingsStore::reportWriteFailureOnce(failure.description());
    }
}

QString safeFileName(const QString& name, const QString& ending)
{
    // What Linux refuses ("/", NUL) and what the other common systems and
    // their file dialogs refuse, so the file can be copied anywhere.
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    QString safe;
    for (const QChar c : name)
        safe += c.category() == QChar::Other_Control || c.category() == QChar::Other_Format ||
                        refused.contains(c)
                    ? QLatin1Char(' ')
                    : c;
    safe = safe.simplified();
    while (safe.startsWith(QLatin1Char('.')))
        safe = safe.mid(1).trimmed();
    if (safe.size() > kLongestName) {
        qsizetype cut = kLongestName;
        // Never half a character.
        if (safe.at(cut).isLowSurrogate())
            --cut;
        safe = safe.left(cut).trimmed();
    }
    return safe.isEmpty() ? ending : safe + QLatin1Char(' ') + ending;
}
