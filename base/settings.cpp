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

#include <condition_variable>
#include <mutex>
#include <thread>

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
    // A large store is written by the writer thread, off the keystroke.
    bool writeBehind = false;
    bool writeBehindFailed = false;
};

State& state()
{
    static State value;
    return value;
}

// Guards the state against the writer thread.
std::recursive_mutex& stateMutex()
{
    static std::recursive_mutex mutex;
    return mutex;
}

QString qualified(const QString& key);

// Writes `unsaved` (and the hand-typed values it does not replace) into the
// store at `path`; the problem in plain words, or the empty text.
QString writeValues(const QString& path, const QMap<QString, QString>& handTyped,
                    const QMap<QString, QString>& unsaved)
{
    // A fresh object per write: QSettings keeps a failed status for its
    // lifetime, and a store that failed once may work again later.
    QSettings settings(path, QSettings::IniFormat);
    // Rewriting the file would otherwise store hand-typed values as cut short.
    for (auto it = handTyped.cbegin(); it != handTyped.cend(); ++it) {
        if (!unsaved.contains(it.key()))
            settings.setValue(qualified(it.key()), it.value());
    }
    for (auto it = unsaved.cbegin(); it != unsaved.cend(); ++it)
        settings.setValue(qualified(it.key()), it.value());
    settings.sync();
    if (settings.status() == QSettings::AccessError)
        return QStringLiteral("The settings file %1 cannot be written.").arg(path);
    return {};
}

// Rewriting a store of megabytes takes far longer than a keystroke may: such
// a store is written here, the newest values at each turn, while the user
// types on. What is not yet written is in the state's unsaved values, which
// every read sees first.
class Writer
{
public:
    Writer() : m_thread([this] { run(); }) {}
    ~Writer()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stopping = true;
        }
        m_changed.notify_all();
        m_thread.join();
    }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    void post()
    {
        {
            std::lock_guard lock(m_mutex);
            m_pending = true;
        }
        m_changed.notify_all();
    }
    // Returns once everything posted is written or has failed.
    void flush()
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_pending && !m_busy; });
    }

private:
    void run();

    std::mutex m_mutex;
    std::condition_variable m_changed;
    bool m_pending = false;
    bool m_busy = false;
    bool m_stopping = false;
    std::thread m_thread;
};

Writer& writer()
{
    // Made first, so that they outlive the writer's last turn at exit.
    stateMutex();
    state();
    static Writer value;
    return value;
}

void Writer::run()
{
    std::unique_lock lock(m_mutex);
    // Whatever is posted before the end is written before the program goes.
    while (m_pending || !m_stopping) {
        if (!m_pending) {
            m_changed.wait(lock);
            continue;
        }
        m_pending = false;
        m_busy = true;
        lock.unlock();
        QString path;
        QMap<QString, QString> handTyped, unsaved;
        {
            std::lock_guard stateLock(stateMutex());
            path = SettingsStore::filePath();
            handTyped = state().handTyped;
            unsaved = state().unsaved;
        }
        const QString problem = writeValues(path, handTyped, unsaved);
        {
            std::lock_guard stateLock(stateMutex());
            State& s = state();
            s.writeBehindFailed = !problem.isEmpty();
            if (problem.isEmpty()) {
                // Values changed meanwhile wait for the next turn.
                for (auto it = unsaved.cbegin(); it != unsaved.cend(); ++it) {
                    if (s.unsaved.value(it.key()) == it.value())
                        s.unsaved.remove(it.key());
                }
                s.handTyped.clear();
            } else {
                s.lastWriteProblem = problem;
            }
        }
        lock.lock();
        m_busy = false;
        m_changed.notify_all();
    }
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
// Up to this size a whole rewrite takes about a millisecond.
constexpr qint64 kWriteBehindBytes = qint64(128) * 1024;

// Runs once per run and file, before the first read or write.
void open()
{
    const std::lock_guard lock(stateMutex());
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
    s.writeBehind = info.isFile() && info.size() > kWriteBehindBytes;
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
    writer().flush();
    const std::lock_guard lock(stateMutex());
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
    // Asked at close: what the writer still holds is on disk first.
    if (state().writeBehind)
        writer().flush();
    const std::lock_guard lock(stateMutex());
    return state().unsaved.keys();
}

QString lastWriteProblem()
{
    const std::lock_guard lock(stateMutex());
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
    const std::lock_guard lock(stateMutex());
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
    std::unique_lock lock(stateMutex());
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
    if (s.writeBehind) {
        writer().post();
        // The writer's last turn failed: the caller tells the user, and
        // the writer tries again with every change.
        if (s.writeBehindFailed)
            throw Failure(s.lastWriteProblem);
        return;
    }
    const QString problem = writeValues(path, s.handTyped, s.unsaved);
    if (!problem.isEmpty()) {
        s.lastWriteProblem = problem;
        throw Failure(s.lastWriteProblem);
    }
    s.unsaved.clear();
    s.handTyped.clear();
}
