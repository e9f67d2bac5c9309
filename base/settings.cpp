#include "base/settings.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/failure.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QSettings>
#include <QStandardPaths>
#include <QStringDecoder>

namespace {
constexpr auto kApplication = "Corvanti";
constexpr auto kSection = "Pellamont";

// What one run knows about its store file.
struct State
{
    QString overriddenPath;
    bool opened = false;
    // A damaged file that could not be copied aside is never written over.
    bool protectDamagedFile = false;
    // A file refused at the start is neither read nor written.
    bool refused = false;
    QString damagedCopy;
    bool writeFailureReported = false;
    // Values whose write failed, kept until a later write gets them on disk.
    QMap<QString, QString> unsaved;
    QString lastWriteProblem;
    // Values typed into the file by hand that the file format would cut short,
    // as typed; the next write stores them in the format's own quoting.
    QMap<QString, QString> handTyped;
};

State& state()
{
    static State value;
    return value;
}

QString qualified(const QString& key)
{
    return QLatin1String(kSection) + QLatin1Char('/') + key;
}

void tellUser(const QString& text)
{
    Dialogs::current().error(applicationTitle(), text);
}

// QSettings reads almost anything without complaint and then writes back
// only what it understood, so a damaged file would silently lose the rest.
// A sound file is UTF-8 text made of blank lines, ";" comments, [sections]
// and key=value lines.
bool looksDamaged(const QByteArray& bytes)
{
    if (bytes.contains('\0'))
        return true;
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(bytes);
    if (decoder.hasError())
        return true;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char(';')))
            continue;
        if (line.startsWith(QLatin1Char('['))) {
            if (!line.endsWith(QLatin1Char(']')))
                return true;
            continue;
        }
        if (line.indexOf(QLatin1Char('=')) <= 0)
            return true;
    }
    return false;
}

// In this file format an unquoted ";" starts a comment and an unquoted ","
// makes a list, so "List1=Mowing;Edging;" would read as "Mowing" and "a,b"
// as nothing; the program itself always quotes such values. A person editing
// the file by hand means the text after "=", which is what such a value
// reads as.
QMap<QString, QString> handTypedValues(const QString& text)
{
    QMap<QString, QString> found;
    const QString section = QLatin1Char('[') + QLatin1String(kSection) + QLatin1Char(']');
    bool inSection = false;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString& rawLine : lines) {
        const QString line = rawLine.trimmed();
        if (line.startsWith(QLatin1Char('['))) {
            inSection = line == section;
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (!inSection || equals <= 0 || line.startsWith(QLatin1Char(';')))
            continue;
        const QString value = line.mid(equals + 1).trimmed();
        bool quoted = false;
        bool cut = false;
        for (qsizetype i = 0; i < value.size() && !cut; ++i) {
            const QChar c = value.at(i);
            if (c == QLatin1Char('\\'))
                ++i;
            else if (c == QLatin1Char('"'))
                quoted = !quoted;
            else if (!quoted && (c == QLatin1Char(';') || c == QLatin1Char(',')))
                cut = true;
        }
        if (cut)
            found.insert(line.left(equals).trimmed(), value);
    }
    return found;
}

// Far more than the flyer data ever takes (every field and a thousand
// services at a thousand characters each is under 1.5 MB). A larger file was
// filled by something else; read and rewritten at every keystroke it would
// hold the window for seconds and take gigabytes.
constexpr qint64 kLargestStoreBytes = qint64(4) * 1024 * 1024;

// Runs once per run and file, before the first read or write.
void open()
{
    State& s = state();
    if (s.opened)
        return;
    s.opened = true;
    const QString path = SettingsStore::filePath();
    const QFileInfo info(path);
    if (!info.exists())
        return;
    if (info.isFile() && info.size() > kLargestStoreBytes) {
        s.refused = true;
        s.protectDamagedFile = true;
        tellUser(QStringLiteral("The saved flyer data in %1 is far too large to be flyer data "
                                "(%2 MB), so it was not read. The window starts empty, and the "
                                "file is left as it is: changes will not be saved to it. Move "
                                "the file away to start afresh.")
                     .arg(path)
                     .arg(info.size() / (qint64(1024) * 1024)));
        return;
    }
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        tellUser(
            QStringLiteral("The saved flyer data in %1 cannot be read (%2). The window "
                           "starts empty, and the file is left as it is.")
                .arg(path, info.isDir() ? QStringLiteral("it is a folder") : file.errorString()));
        return;
    }
    const QByteArray bytes = file.readAll();
    file.close();
    s.handTyped = handTypedValues(QString::fromUtf8(bytes));
    QSettings probe(path, QSettings::IniFormat);
    probe.allKeys();
    if (!looksDamaged(bytes) && probe.status() != QSettings::FormatError)
        return;

    const QString copy = path + QStringLiteral(".damaged-") +
                         QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (QFile::copy(path, copy)) {
        s.damagedCopy = copy;
        tellUser(QStringLiteral("The saved flyer data in %1 is damaged. What could be read has "
                                "been restored, and a copy of the damaged file has been kept "
                                "as %2.")
                     .arg(path, copy));
    } else {
        s.protectDamagedFile = true;
        tellUser(QStringLiteral("The saved flyer data in %1 is damaged, and no copy of it "
                                "could be kept as %2. What could be read has been restored; "
                                "the file is left as it is and changes will not be saved.")
                     .arg(path, copy));
    }
}
} // namespace

namespace SettingsStore {
QString filePath()
{
    if (!state().overriddenPath.isEmpty())
        return state().overriddenPath;
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QLatin1Char('/') + QLatin1String(kApplication) + QStringLiteral(".conf");
}

void useFileForTesting(const QString& path)
{
    state() = State{};
    state().overriddenPath = path;
}

void reportWriteFailureOnce(const QString& description)
{
    State& s = state();
    if (s.writeFailureReported)
        return;
    s.writeFailureReported = true;
    tellUser(description +
             QStringLiteral("\r\n\r\nPellamont keeps working and keeps your changes while it "
                            "runs, and saves them as soon as the file can be written again."));
}

QStringList unsavedKeys()
{
    return state().unsaved.keys();
}

QString lastWriteProblem()
{
    return state().lastWriteProblem;
}

QString damagedCopyPath()
{
    return state().damagedCopy;
}
} // namespace SettingsStore

QString ReadSetting(const QString& key)
{
    open();
    const State& s = state();
    const auto unsaved = s.unsaved.constFind(key);
    if (unsaved != s.unsaved.cend())
        return unsaved.value();
    const auto handTyped = s.handTyped.constFind(key);
    if (handTyped != s.handTyped.cend())
        return handTyped.value();
    if (s.refused)
        return {};
    QSettings settings(SettingsStore::filePath(), QSettings::IniFormat);
    return settings.value(qualified(key)).toString();
}

void WriteSetting(const QString& key, const QString& value)
{
    open();
    State& s = state();
    s.unsaved.insert(key, value);
    const QString path = SettingsStore::filePath();
    if (s.protectDamagedFile) {
        s.lastWriteProblem =
            QStringLiteral("The settings file %1 is %2 and is left as it is, so "
                           "changes cannot be saved.")
                .arg(path, s.refused ? QStringLiteral("far too large") : QStringLiteral("damaged"));
        throw Failure(s.lastWriteProblem);
    }
    // A fresh object per write: QSettings keeps a failed status for its
    // lifetime, and a store that failed once may work again later.
    QSettings settings(path, QSettings::IniFormat);
    // Rewriting the file would otherwise store hand-typed values as cut short.
    for (auto it = s.handTyped.cbegin(); it != s.handTyped.cend(); ++it) {
        if (!s.unsaved.contains(it.key()))
            settings.setValue(qualified(it.key()), it.value());
    }
    for (auto it = s.unsaved.cbegin(); it != s.unsaved.cend(); ++it)
        settings.setValue(qualified(it.key()), it.value());
    settings.sync();
    if (settings.status() == QSettings::AccessError) {
        s.lastWriteProblem = QStringLiteral("The settings file %1 cannot be written.").arg(path);
        throw Failure(s.lastWriteProblem);
    }
    s.unsaved.clear();
    s.handTyped.clear();
}
