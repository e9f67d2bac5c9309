#include "base/shutdown.h"
#include "entry/form1.h"
#include "generate/libreoffice/officeengine.h"
#include "generate/word.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(PELLAMONT_VERSION));
    // Ties the windows to the installed desktop entry and its icon on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral(PELLAMONT_APP_ID));
    // Exactly one of the two windows is visible at a time; each window's close
    // ends the program itself.
    QApplication::setQuitOnLastWindowClosed(false);

    // The office takes seconds to start: set it going before the window is
    // built, so that building and restoring the window overlap its start.
    auto engine = createOfficeEngine();
    Word::setEngine(engine);
    engine->prepare();

    int exitCode = 0;
    {
        Form1 form; // its load step runs here, before it is ever shown
        if (!Shutdown::requested()) {
            form.show();
            // The start-up benchmark times the real program up to its window.
            if (qEnvironmentVariableIsSet("PELLAMONT_QUIT_WHEN_SHOWN")) {
                QTimer::singleShot(0, &app, [] {
                    std::fputs("shown\n", stdout);
                    std::fflush(stdout);
                    QApplication::exit(0);
                });
            }
            exitCode = QApplication::exec();
        } else {
            exitCode = Shutdown::exitCode();
        }
    }
    Word::setEngine(nullptr);
    return exitCode;
}
