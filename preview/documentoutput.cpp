#include "preview/documentoutput.h"

#include "base/failure.h"
#include "generate/word.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <memory>

namespace DocumentOutput {

QString pdfTarget(const QString& chosen)
{
    if (chosen.isEmpty() || !QFileInfo(chosen).suffix().isEmpty())
        return chosen;
    return chosen + QStringLiteral(".pdf");
}

bool isWholePdf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() < 16)
        return false;
    if (!file.read(5).startsWith("%PDF-"))
        return false;
    // The mark stands in the last bytes, followed at most by a line end.
    file.seek(std::max<qint64>(0, file.size() - 32));
    return file.readAll().contains("%%EOF");
}

void exportPdf(const QString& documentPath, const QString& pdfPath)
{
    if (!QFileInfo(documentPath).isFile())
        throw Failure(QStringLiteral("The filled document %1 no longer exists. Go back and "
                                     "create the template again.")
                          .arg(documentPath));
    QFile::remove(pdfPath);
    std::shared_ptr<Word::Application> word = Word::CreateApplication();
    try {
        std::shared_ptr<Word::Document> document = word->documents().open(documentPath, true);
        document->exportAsFixedFormat(pdfPath, Word::Document::wdExportFormatPDF);
        document->close(Word::Document::wdDoNotSaveChanges);
        word->quit();
    } catch (...) {
        try {
            word->quit();
        } catch (...) {
            // The first failure is the one to report.
        }
        QFile::remove(pdfPath);
        throw;
    }
    if (!isWholePdf(pdfPath)) {
        QFile::remove(pdfPath);
        throw Failure(QStringLiteral("The document engine wrote no complete PDF."));
    }
}

} // namespace DocumentOutput
