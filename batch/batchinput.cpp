#include "batch/batchinput.h"

#include "base/failure.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStringDecoder>

namespace BatchInput {

namespace {

struct CsvRecord
{
    qsizetype line = 1;
    QList<QByteArray> cells;
    // Why the record cannot be used, or empty.
    QString broken;
};

// RFC 4180 records: cells separated by ",", a cell in double quotes may hold
// commas, line breaks and doubled quotes. A record with a stray quote is
// broken on its own; a quote never closed breaks the rest of the file, since
// nothing after it can be told apart any more.
QList<CsvRecord> csvRecords(const QByteArray& bytes)
{
    QList<CsvRecord> records;
    CsvRecord record;
    QByteArray cell;
    qsizetype line = 1;
    bool quoted = false;  // inside a quoted cell
    bool closed = false;  // a quoted cell's closing quote was read
    bool started = false; // the record has any byte
    auto endCell = [&] {
        record.cells << cell;
        cell.clear();
        closed = false;
    };
    auto endRecord = [&] {
        endCell();
        // A blank line is no record.
        if (started)
            records << record;
        record = CsvRecord{};
        started = false;
    };
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes.at(i);
        if (!started) {
            record.line = line;
            started = c != '\n' && c != '\r';
        }
        if (quoted) {
            if (c == '"') {
                if (i + 1 < bytes.size() && bytes.at(i + 1) == '"') {
                    cell += '"';
                    ++i;
                } else {
                    quoted = false;
                    closed = true;
                }
                continue;
            }
            if (c == '\n' || (c == '\r' && !(i + 1 < bytes.size() && bytes.at(i + 1) == '\n')))
                ++line;
            cell += c;
            continue;
        }
        if (c == ',') {
            endCell();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && i + 1 < bytes.size() && bytes.at(i + 1) == '\n')
                ++i;
            ++line;
            endRecord();
        } else if (c == '"' && cell.isEmpty() && !closed) {
            quoted = true;
        } else if (closed) {
            if (record.broken.isEmpty())
                record.broken = QStringLiteral("text follows the closing quote of cell %1; a "
                                               "quote inside a quoted cell is written twice (\"\")")
                                    .arg(record.cells.size() + 1);
        } else {
            cell += c;
        }
    }
    if (quoted) {
        record.broken = QStringLiteral("the quote that opens cell %1 is never closed, so the rest "
                                       "of the file cannot be read")
                            .arg(record.cells.size() + 1);
        started = true;
    }
    if (started)
        endRecord();
    return records;
}

QString decoded(const QByteArray& bytes, bool* ok)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(bytes);
    *ok = !decoder.hasError();
    return text;
}

QStringList listItems(const QString& cell)
{
    QStringList items;
    for (const QString& piece : cell.split(QLatin1Char(';'))) {
        const QString item = piece.trimmed();
        if (!item.isEmpty())
            items << item;
    }
    return items;
}

} // namespace

Result parseCsv(const QByteArray& source, const QString& name)
{
    Result result;
    QByteArray bytes = source;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QList<CsvRecord> records = csvRecords(bytes);
    auto at = [&](qsizetype line) -> QString {
        return name + QLatin1Char(':') + QString::number(line);
    };
    if (records.isEmpty()) {
        result.problems << Problem{name, QStringLiteral("the file is empty; it needs a header "
                                                        "row naming its columns")};
        return result;
    }
    const CsvRecord& header = records.first();
    bool ok = true;
    QStringList columns;
    for (const QByteArray& cell : header.cells)
        columns << decoded(cell, &ok).trimmed();
    if (!header.broken.isEmpty() || !ok) {
        result.problems << Problem{at(header.line),
                                   header.broken.isEmpty()
                                       ? QStringLiteral("the header row is not UTF-8 text")
                                       : QStringLiteral("the header row cannot be read: ") +
                                             header.broken};
        return result;
    }
    QStringList unknown;
    for (const QString& column : columns) {
        if (!flyerDataKeys().contains(column))
            unknown << QLatin1Char('"') + column + QLatin1Char('"');
        else if (columns.count(column) > 1 && !unknown.contains(column))
            unknown << QLatin1Char('"') + column + QStringLiteral("\" (twice)");
    }
    if (!unknown.isEmpty()) {
        unknown.removeDuplicates();
        result.problems << Problem{
            at(header.line),
            QStringLiteral("unknown %1 %2; the known columns are: %3")
                .arg(unknown.size() == 1 ? QStringLiteral("column") : QStringLiteral("columns"),
                     unknown.join(QStringLiteral(", ")),
                     flyerDataKeys().join(QStringLiteral(", ")))};
        return result;
    }
    if (records.size() == 1)
        result.problems << Problem{name,
                                   QStringLiteral("the file holds no flyers, only a header row")};
    for (qsizetype r = 1; r < records.size(); ++r) {
        const CsvRecord& record = records.at(r);
        if (!record.broken.isEmpty()) {
            result.problems << Problem{at(record.line), record.broken};
            continue;
        }
        if (record.cells.size() != columns.size()) {
            result.problems << Problem{
                at(record.line), QStringLiteral("the row has %1 cells, but the header names %2 "
                                                "columns; a cell holding a comma goes in quotes")
                                     .arg(record.cells.size())
                                     .arg(columns.size())};
            continue;
        }
        Row row{at(record.line), {}};
        QString badColumn;
        for (qsizetype c = 0; c < columns.size(); ++c) {
            const QString text = decoded(record.cells.at(c), &ok);
            if (!ok) {
                badColumn = columns.at(c);
                break;
            }
            const int field = fieldOfDataKey(columns.at(c));
            if (field >= 0)
                row.record.fields.at(std::size_t(field)) = text;
            else if (columns.at(c) == servicesDataKey())
                row.record.services = listItems(text);
            else
                row.record.scheduledServices = listItems(text);
        }
        if (!badColumn.isEmpty())
            result.problems << Problem{
                at(record.line),
                QStringLiteral("the cell \"%1\" is not UTF-8 text; save the file as UTF-8")
                    .arg(badColumn)};
        else
            result.rows << row;
    }
    return result;
}

Result parseJson(const QByteArray& bytes, const QString& name)
{
    Result result;
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError) {
        result.problems << Problem{name, QStringLiteral("not valid JSON at character %1: %2")
                                             .arg(error.offset + 1)
                                             .arg(error.errorString())};
        return result;
    }
    auto read = [&](const QString& where, const QJsonValue& value) {
        if (!value.isObject()) {
            result.problems << Problem{where, QStringLiteral("a flyer must be an object { }")};
            return;
        }
        try {
            result.rows << Row{where, flyerDataFromJson(value.toObject())};
        } catch (const Failure& failure) {
            result.problems << Problem{where, failure.description()};
        }
    };
    if (document.isObject()) {
        read(name, document.object());
    } else if (document.isArray()) {
        const QJsonArray array = document.array();
        if (array.isEmpty())
            result.problems << Problem{name, QStringLiteral("the file holds no flyers")};
        for (qsizetype i = 0; i < array.size(); ++i)
            read(name + QStringLiteral("[%1]").arg(i), array.at(i));
    } else {
        result.problems << Problem{
            name,
            QStringLiteral("the file must hold one flyer object { } or an array [ ] of them")};
    }
    return result;
}

Result readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, {{path, QStringLiteral("cannot be read: ") + file.errorString()}}};
    if (file.size() > kLargestFile)
        return {{},
                {{path, QStringLiteral("the file is %1 MB; an input file may hold at most %2 MB. "
                                       "Split it into smaller files.")
                            .arg(double(file.size()) / (1024 * 1024), 0, 'f', 1)
                            .arg(kLargestFile / (1024 * 1024))}}};
    // A file that grows while it is read is cut at the limit.
    const QByteArray bytes = file.read(kLargestFile + 1);
    if (file.error() != QFileDevice::NoError)
        return {{}, {{path, QStringLiteral("cannot be read: ") + file.errorString()}}};
    if (path.endsWith(QStringLiteral(".json"), Qt::CaseInsensitive))
        return parseJson(bytes, path);
    for (const char c : bytes) {
        if (c == '{' || c == '[')
            return parseJson(bytes, path);
        if (c != ' ' && c != '\t' && c != '\r' && c != '\n')
            break;
    }
    return parseCsv(bytes, path);
}

} // namespace BatchInput
