#include "generate/isinstalled.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/shutdown.h"
#include "generate/word.h"

namespace IsInstalled {

QString wordMissingText()
{
    return Word::UnavailableText();
}

void CheckWordInstalled()
{
    std::shared_ptr<Word::Application> word;
    QString systemProblem;
    try {
        word = Word::CreateApplication();
    } catch (const Word::SystemProblem& problem) {
        // The engine is there, but this machine keeps it from starting.
        systemProblem = problem.description();
    } catch (...) {
        // Any other reason means the same to the user: no engine, no program.
    }
    // Closed while the engine was starting: the user asked for the end.
    if (!word && Shutdown::requested())
        return;
    if (!systemProblem.isEmpty()) {
        Dialogs::current().error(applicationTitle(), systemProblem);
        Shutdown::endProgram(1);
        return;
    }
    if (!word) {
        Dialogs::current().message(applicationTitle(), wordMissingText());
        Shutdown::endProgram(1);
        return;
    }
    try {
        word->quit();
    } catch (...) {
        // The engine started, which is all this check has to prove.
    }
}

bool startPending()
{
    try {
        return Word::engine().starting();
    } catch (...) {
        return false;
    }
}

} // namespace IsInstalled
