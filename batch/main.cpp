#include "base/mainmodule.h"
#include "batch/batchrun.h"

#include <QGuiApplication>

#include <cstdio>
#include <vector>

namespace {
// The tool speaks to its user in its own messages; Qt's notes about the
// session it runs in (no runtime folder under cron, say) are not for them.
void keepSerious(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    if (type == QtCriticalMsg || type == QtFatalMsg)
        std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}
} // namespace

int main(int argc, char* argv[])
{
    qInstallMessageHandler(keepSerious);
    // No display is needed: pictures are read and scaled off screen, whatever
    // QT_QPA_PLATFORM says.
    std::vector<char*> arguments(argv, argv + argc);
    char platform[] = "-platform";
    char offscreen[] = "offscreen";
    arguments.insert(arguments.begin() + 1, {platform, offscreen});
    int count = int(arguments.size());
    arguments.push_back(nullptr);
    QGuiApplication app(count, arguments.data());
    QCoreApplication::setApplicationVersion(QStringLiteral(PELLAMONT_VERSION));

    QStringList rest = QCoreApplication::arguments().mid(1);
    int status = 0;
    if (rest.size() == 1 && rest.first() == QStringLiteral("--worker"))
        status = BatchRun::work();
    else
        status = BatchRun::run(rest);
    Main::releaseTempFolder();
    return status;
}
