#include "pdffacts.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTest>

namespace {

QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitCode() != 0) {
        QTest::qFail(qPrintable(program + QStringLiteral(" failed: ") +
                                QString::fromLocal8Bit(process.readAllStandardError())),
                     __FILE__, __LINE__);
        return {};
    }
    return QString::fromUtf8(process.readAllStandardOutput());
}

} // namespace

PdfFacts readPdf(const QString& path)
{
    PdfFacts facts;
    const QString info = run(QStringLiteral("pdfinfo"), {path});
    const auto pages = QRegularExpression(QStringLiteral("^Pages:\\s+(\\d+)$"),
                                          QRegularExpression::MultilineOption)
                           .match(info);
    facts.pages = pages.hasMatch() ? pages.captured(1).toInt() : 0;
    const auto size = QRegularExpression(QStringLiteral("^Page size:\\s+(.+)$"),
                                         QRegularExpression::MultilineOption)
                          .match(info);
    facts.pageSize = size.captured(1).trimmed();
    facts.text = run(QStringLiteral("pdftotext"), {path, QStringLiteral("-")});
    // name, type, encoding, emb, sub, uni, object, id: after two heading lines.
    const QStringList lines = run(QStringLiteral("pdffonts"), {path}).split(QLatin1Char('\n'));
    facts.allFontsEmbedded = true;
    for (qsizetype i = 2; i < lines.size(); ++i) {
        const QStringList columns = lines.at(i).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        if (columns.size() < 7)
            continue;
        facts.fonts << columns.first();
        facts.allFontsEmbedded =
            facts.allFontsEmbedded && columns.at(columns.size() - 5) == QLatin1String("yes");
    }
    return facts;
}

double pdfWordHeight(const QString& path, const QString& word)
{
    static const QRegularExpression box(
        QStringLiteral("<word xMin=\"[-0-9.]+\" yMin=\"([-0-9.]+)\" xMax=\"[-0-9.]+\" "
                       "yMax=\"([-0-9.]+)\">([^<]*)</word>"));
    const QString boxes =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), path, QStringLiteral("-")});
    for (auto it = box.globalMatch(boxes); it.hasNext();) {
        const auto match = it.next();
        if (match.captured(3) == word)
            return match.captured(2).toDouble() - match.captured(1).toDouble();
    }
    return -1;
}
