#include "base/appinfo.h"

#include "base/version.h"

#include <QCoreApplication>

namespace {
QString& title()
{
    static QString value = QString::fromLatin1(kDisplayName);
    return value;
}
} // namespace

QString applicationTitle()
{
    return title();
}

void setApplicationTitle(const QString& newTitle)
{
    title() = newTitle;
}

QString shortenedTitle(const QString& displayName)
{
    QString result = displayName;
    do {
        const qsizetype blank = result.lastIndexOf(QLatin1Char(' '));
        if (blank < 0)
            break;
        result.truncate(blank);
    } while (result.size() > 40);
    return result;
}

QString programFolder()
{
    QString overridden = qEnvironmentVariable("PELLAMONT_PROGRAM_FOLDER");
    if (!overridden.isEmpty())
        return overridden;
    return QCoreApplication::applicationDirPath();
}

QIcon programIcon()
{
    loadProgramResources();
    return QIcon(QStringLiteral(":/icon/pellamont.png"));
}

void loadProgramResources()
{
    static const bool loaded = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    Q_UNUSED(loaded);
}

namespace {
// The SPDX name of the licence, as a reader says it: "LicenseRef-proprietary"
// is "proprietary".
QString licence()
{
    QString name = QString::fromLatin1(PELLAMONT_LICENSE);
    name.remove(QStringLiteral("LicenseRef-"));
    return name;
}
} // namespace

QString aboutText(const QString& version, const QString& engine)
{
    const QString name = QString::fromLatin1(kDisplayName);
    const QString title = version.isEmpty() ? name : name + QStringLiteral(" ") + version;
    return title +
           QStringLiteral("\n\nMakes a one-page flyer with tear-off tabs from your business "
                          "details.\n\nDocument engine: ") +
           engine + QStringLiteral("\nLicence: ") + licence();
}
