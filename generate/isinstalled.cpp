#include "generate/isinstalled.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/shutdown.h"
#include "generate/word.h"

namespace IsInstalled {

QString wordMissingText()
{
    const QString paragraph = QStringLiteral("\r\n\r\n");
    return QStringLiteral("Error 842001. A normal instance of Word could not be created.") +
           paragraph + QStringLiteral("1. Please make sure Word is installed on this computer.") +
           paragraph +
           QStringLiteral("2. Please open Word normally and make sure a blank document opens "
                          "immediately without any interrupting window (such as an Word file "
                          "recovery window).") +
           paragraph +
           QStringLiteral("3. Please make sure that when you double-click on a DOC or DOCX file "
                          "that Word opens normally without any interrupting messages.") +
           paragraph +
           QStringLiteral("4. All versions of Word are supported by this software except for the "
                          "rare Word Starter and Student editions.");
}

void CheckWordInstalled()
{
    std::shared_ptr<Word::Application> word;
    try {
        word = Word::CreateApplication();
    } catch (...) {
        // Any reason at all means the same to the user: no engine, no program.
    }
    if (!word) {
        Dialogs::current().message(ApplicationTitle(), wordMissingText());
        Shutdown::EndProgram(1);
        return;
    }
    try {
        word->quit();
    } catch (...) {
        // The engine started, which is all this check has to prove.
    }
}

} // namespace IsInstalled
