#include "app/singleinstance.h"
#include "app/terminationsignals.h"
#include "base/failure.h"
#include "base/mainmodule.h"
#include "base/settings.h"
#include "base/shutdown.h"
#include "base/version.h"
#include "generate/word.h"
#include "gui/systemdialogs.h"
#include "mainwindow/form1.h"
#include "office/officeengine.h"

#include <QApplication>
#include <QSessionManager>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {
// The start-up benchmark times the real program up to its window.
void quitOnceShownIfAsked(QApplication& app)
{
    if (!qEnvironmentVariableIsSet("PELLAMONT_QUIT_WHEN_SHOWN"))
        return;
    QTimer::singleShot(0, &app, [] {
        std::fputs("shown\n", stdout);
        std::fflush(stdout);
        Shutdown::endProgram(0);
    });
}
// What killed programs left behind goes; then this program takes its own
// temporary folder (a failure there is reported by the run that needs it).
void takeTempFolder()
{
    Main::removeLeftovers();
    try {
        Main::tempFolder();
    } catch (const Failure&) {
    }
}

// A second start asked for this program: whichever window shows comes to
// the front, out of the task bar if it was minimised.
void raiseVisibleWindows()
{
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (!window->isVisible())
            continue;
        window->setWindowState(window->windowState() & ~Qt::WindowMinimized);
        window->raise();
        window->activateWindow();
    }
}
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationVersion(QStringLiteral(PELLAMONT_VERSION));
    // Ties the windows to the installed desktop entry and its icon on Wayland.
    QGuiApplication::setDesktopFileName(QStringLiteral(PELLAMONT_APP_ID));
    // Exactly one of the two windows is visible at a time; each window's close
    // ends the program itself.
    QApplication::setQuitOnLastWindowClosed(false);
    // From here on a logout, a shutdown or Ctrl+C ends the program through
    // the closing steps of its windows; one that comes during start-up waits
    // for the event loop.
    TerminationSignals terminationSignals;
    // Every message, question and file dialog of the program is a window.
    SystemDialogs systemDialogs;
    Dialogs::install(&systemDialogs);

    // A second start on the same store shows the running program instead:
    // two windows would write their lists over each other's.
    SingleInstance instance(SettingsStore::filePath());
    if (!instance.isFirst()) {
        std::fputs("Pellamont is already running; its window was brought to the front.\n", stderr);
        return 0;
    }

    takeTempFolder();

    // The office takes seconds to start: set it going before the window is
    // built, so that building and restoring the window overlap its start.
    auto engine = createOfficeEngine();
    Word::setEngine(engine);
    engine->prepare();

    int exitCode = 0;
    {
        Form1 form; // its load step runs here, before it is ever shown
        QObject::connect(&terminationSignals, &TerminationSignals::received, &form,
                         [&form](int) { form.closeShowingWindow(); });
        // The desktop session ending: the lists are on disk already, and the
        // windows' closing steps run before the program goes.
        QObject::connect(&app, &QGuiApplication::commitDataRequest, &form,
                         [&form](QSessionManager&) { form.storeLists(); });
        QObject::connect(&instance, &SingleInstance::raiseRequested, &form, &raiseVisibleWindows);
        QObject::connect(&app, &QCoreApplication::aboutToQuit, &form,
                         [&form] { form.closeShowingWindow(); });
        if (!Shutdown::requested()) {
            form.show();
            quitOnceShownIfAsked(app);
            exitCode = QApplication::exec();
        } else {
            exitCode = Shutdown::exitCode();
        }
    }
    Word::setEngine(nullptr);
    Dialogs::install(nullptr);
    Main::releaseTempFolder();
    return exitCode;
}
