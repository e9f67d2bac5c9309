#include "preview/form2.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/failure.h"
#include "base/mainmodule.h"
#include "base/savefolder.h"
#include "preview/documentoutput.h"
#include "preview/printqueue.h"
#include "preview/savecopy.h"

#include <QDesktopServices>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

// The File menu's PDF and print commands.

namespace {

// A folder of the program's own in the temporary folder, for the PDF on its
// way to the user's folder or the printer; removed with everything in it.
std::unique_ptr<QTemporaryDir> privateFolder()
{
    auto folder = std::make_unique<QTemporaryDir>(Main::tempFolder() +
                                                  QStringLiteral("/pellamont-pdf-XXXXXX"));
    if (!folder->isValid())
        throw Failure(QStringLiteral("No working folder could be made in %1: %2")
                          .arg(Main::tempFolder(), folder->errorString()));
    return folder;
}

// The steps Save as PDF and Print share: the office's PDF of the filled
// document in a private folder, handed to `use`, the folder removed after.
// The pointer shows the hourglass meanwhile. On a failure the user reads
// `notDone` and the reason, and the answer is false.
bool exportPdfThen(WindowPointer& pointer, const QString& wordFile, const QString& notDone,
                   const std::function<void(const QString& pdf)>& use)
{
    try {
        const BusyPointer busy(pointer);
        const auto folder = privateFolder();
        const QString pdf = folder->filePath(QStringLiteral("flyer.pdf"));
        DocumentOutput::exportPdf(wordFile, pdf);
        use(pdf);
    } catch (const Failure& failure) {
        Dialogs::current().error(applicationTitle(), notDone + failure.description());
        return false;
    }
    return true;
}

} // namespace

void Form2::saveAsPdf()
{
    QString target = Dialogs::current().saveFile(
        QStringLiteral("Save as PDF"), QStringLiteral("PDF Files (*.pdf)|*.pdf"),
        safeFileName(m_jobName, QStringLiteral("flyer.pdf")));
    if (target.isEmpty())
        return;
    target = DocumentOutput::pdfTarget(target);
    if (const QString refused = refusedTarget(target); !refused.isEmpty()) {
        Dialogs::current().error(applicationTitle(), refused);
        return;
    }
    if (targetTaken(target) &&
        Dialogs::current().question(applicationTitle(), overwriteQuestion(target)) !=
            Dialogs::Answer::Yes)
        return;
    if (!exportPdfThen(m_pointer, mWordFile, QStringLiteral("The PDF was not saved.\n\n"),
                       [&](const QString& pdf) { copyFileSafely(pdf, target); }))
        return;
    rememberSaveFolder(target);
    // A PDF is saved to be looked at or sent; the next step is one click away.
    if (Dialogs::current().question(
            applicationTitle(),
            QStringLiteral("Done. The flyer is saved as %1.\n\nOpen it now?").arg(target)) ==
        Dialogs::Answer::Yes)
        openInViewer(target);
}

void Form2::openInViewer(const QString& pdf)
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(pdf)))
        Dialogs::current().error(
            applicationTitle(),
            QStringLiteral("No program to show PDF files could be started. The PDF is saved as "
                           "%1; open it from your file manager.")
                .arg(pdf));
}

void Form2::printDocument()
{
    QString problem;
    if (PrintQueue::printers(&problem).isEmpty()) {
        Dialogs::current().error(
            applicationTitle(),
            problem.isEmpty()
                ? QStringLiteral("No printer is set up on this computer, so the flyer cannot be "
                                 "printed. Add a printer in the system's printer settings and "
                                 "print again, or save the flyer as a PDF.")
                : QStringLiteral("The flyer cannot be printed: %1. Start the print service "
                                 "(CUPS) in the system's settings, or with \"sudo systemctl "
                                 "start cups\", and print again; or save the flyer as a PDF.")
                      .arg(problem));
        return;
    }
    const QString title = PrintQueue::jobTitle(m_jobName);
    const QString jobName = title.isEmpty() ? QString::fromLatin1(kDisplayName) : title;
    const std::optional<Dialogs::PrintChoice> choice = Dialogs::current().print(jobName);
    if (!choice)
        return;
    const bool printed =
        exportPdfThen(m_pointer, mWordFile, QStringLiteral("The flyer was not printed.\n\n"),
                      [&](const QString& pdf) {
                          // The flyer is a Letter page, and is printed as one.
                          PrintQueue::submit(choice->printer, pdf, jobName, choice->copies,
                                             QStringLiteral("Letter"));
                      });
    if (!printed)
        return;
    Dialogs::current().message(
        applicationTitle(),
        PrintQueue::isPaused(choice->printer)
            ? QStringLiteral("The flyer was sent to the printer %1, which is paused: it prints "
                             "once the printer is resumed in the system's printer settings.")
                  .arg(choice->printer)
            : QStringLiteral("The flyer was sent to the printer %1.").arg(choice->printer));
}
