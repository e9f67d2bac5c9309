#include "base/mainmodule.h"

#include "base/failure.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QProcessEnvironment>
#include <QRadioButton>
#include <QWidget>

#include <cerrno>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace Main {

bool FileExists(const QString& path)
{
    if (path.isEmpty())
        return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile();
}

void DeleteFileQuietly(const QString& path)
{
    if (!path.isEmpty())
        QFile::remove(path);
}

void WriteFileIfAbsent(const QByteArray& bytes, const QString& path)
{
    QCoreApplication::processEvents();
    if (FileExists(path))
        return;
    QFile file(path);
    // NewOnly: never follow or replace anything that appeared at the path meanwhile.
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        throw Failure(QStringLiteral("Cannot create %1: %2").arg(path, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
    file.close();
}

void ResetFormColors(QWidget* window)
{
    const QColor buttonFace = QApplication::palette().color(QPalette::Button);
    auto paint = [&](QWidget* widget) {
        QPalette palette = widget->palette();
        palette.setColor(QPalette::Window, buttonFace);
        widget->setPalette(palette);
        widget->setAutoFillBackground(true);
    };
    paint(window);
    const auto children = window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        if (qobject_cast<QGroupBox*>(child) || qobject_cast<QLabel*>(child) ||
            qobject_cast<QCheckBox*>(child) || qobject_cast<QRadioButton*>(child))
            paint(child);
    }
}

QString SystemTempFolder()
{
    // Variable names are matched without regard to letter case, as users of
    // "temp", "TEMP" and "Temp" expect.
    const QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    const QStringList keys = environment.keys();
    for (const QString& key : keys) {
        if (key.compare(QLatin1String("temp"), Qt::CaseInsensitive) == 0) {
            const QString value = environment.value(key);
            if (!value.isEmpty())
                return QDir::cleanPath(value);
        }
    }
    const QString tmpdir = environment.value(QStringLiteral("TMPDIR"));
    if (!tmpdir.isEmpty())
        return QDir::cleanPath(tmpdir);
    return QStringLiteral("/tmp");
}

QString TempFolder()
{
    const QString folder =
        SystemTempFolder() + QStringLiteral("/pellamont-") + QString::number(::getuid());
    const QByteArray native = QFile::encodeName(folder);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST)
        throw Failure(QStringLiteral("Cannot create the temporary folder %1: %2")
                          .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    struct stat status
    {
    };
    if (::lstat(native.constData(), &status) != 0)
        throw Failure(QStringLiteral("Cannot use the temporary folder %1: %2")
                          .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    if (!S_ISDIR(status.st_mode) || status.st_uid != ::getuid())
        throw Failure(QStringLiteral("The temporary folder %1 is not a folder of this user; "
                                     "remove it or set TMPDIR to another folder.")
                          .arg(folder));
    if ((status.st_mode & 0077) != 0 && ::chmod(native.constData(), 0700) != 0)
        throw Failure(QStringLiteral("Cannot make the temporary folder %1 private: %2")
                          .arg(folder, QString::fromLocal8Bit(std::strerror(errno))));
    return folder;
}

} // namespace Main
