#include "batch/batchinput.h"

#include "base/failure.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStringDecoder>

#include <optional>

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
class CsvReader
{
public:
    explicit CsvReader(const QByteArray& bytes) : m_bytes(bytes) {}

    QList<CsvRecord> records()
    {
        for (qsizetype i = 0; i < m_bytes.size(); ++i) {
            const char c = m_bytes.at(i);
            if (!m_started) {
                m_record.line = m_line;
                m_started = c != '\n' && c != '\r';
            }
            if (m_quoted)
                quotedByte(i);
            else
                plainByte(i);
        }
        if (m_quoted) {
            m_record.broken =
                QStringLiteral("the quote that opens cell %1 is never closed, so the rest "
                               "of the file cannot be read")
                    .arg(m_record.cells.size() + 1);
            m_started = true;
        }
        if (m_started)
            endRecord();
        return m_records;
    }

private:
    bool followedBy(qsizetype i, char c) const
    {
        return i + 1 < m_bytes.size() && m_bytes.at(i + 1) == c;
    }

    void quotedByte(qsizetype& i)
    {
        const char c = m_bytes.at(i);
        if (c == '"') {
            if (followedBy(i, '"')) {
                m_cell += '"';
                ++i;
            } else {
                m_quoted = false;
                m_closed = true;
            }
            return;
        }
        if (c == '\n' || (c == '\r' && !followedBy(i, '\n')))
            ++m_line;
        m_cell += c;
    }

    void plainByte(qsizetype& i)
    {
        const char c = m_bytes.at(i);
        if (c == ',') {
            endCell();
        } else if (c == '\n' || c == '\r') {
            if (c == '\r' && followedBy(i, '\n'))
                ++i;
            ++m_line;
            endRecord();
        } else if (c == '"' && m_cell.isEmpty() && !m_closed) {
            m_quoted = true;
        } else if (m_closed) {
            if (m_record.broken.isEmpty())
                m_record.broken =
                    QStringLiteral("text follows the closing quote of cell %1; a "
                                   "quote inside a quoted cell is written twice (\"\")")
                        .arg(m_record.cells.size() + 1);
        } else {
            m_cell += c;
        }
    }

    void endCell()
    {
        m_record.cells << m_cell;
        m_cell.clear();
        m_closed = false;
    }

    void endRecord()
    {
        endCell();
        // A blank line is no record.
        if (m_started)
            m_records << m_record;
        m_record = CsvRecord{};
        m_started = false;
    }

    const QByteArray& m_bytes;
    QList<CsvRecord> m_records;
    CsvRecord m_record;
    QByteArray m_cell;
    qsizetype m_line = 1;
    bool m_quoted = false;  // inside a quoted cell
    bool m_closed = false;  // a quoted cell's closing quote was read
    bool m_started = false; // the record has any byte
};

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

namespace {

// The columns the header row names, or nothing when it cannot be used (the
// problem added to `result`).
std::optional<QStringList> headerColumns(const CsvRecord& header, const QString& where,
                                         Result& result)
{
    bool ok = true;
    QStringList columns;
    for (const QByteArray& cell : header.cells)
        columns << decoded(cell, &ok).trimmed();
    if (!header.broken.isEmpty() || !ok) {
        result.problems << Problem{where, header.broken.isEmpty()
                                              ? QStringLiteral("the header row is not UTF-8 text")
                                              : QStringLiteral("the header row cannot be read: ") +
                                                    header.broken};
        return std::nullopt;
    }
    QStringList unknown;
    for (const QString& column : columns) {
        if (!flyerDataKeys().contains(column))
            unknown << QLatin1Char('"') + column + QLatin1Char('"');
        else if (columns.count(column) > 1 && !unknown.contains(column))
            unknown << QLatin1Char('"') + column + QStringLiteral("\" (twice)");
    }
    if (unknown.isEmpty())
        return columns;
    unknown.removeDuplicates();
    result.problems << Problem{
        where,
        QStringLiteral("unknown %1 %2; the known columns are: %3")
            .arg(unknown.size() == 1 ? QStringLiteral("column") : QStringLiteral("columns"),
                 unknown.join(QStringLiteral(", ")), flyerDataKeys().join(QStringLiteral(", ")))};
    return std::nullopt;
}

// One flyer from a record under `columns`, or nothing when it cannot be read
// (the problem added to `result`).
void addRow(const CsvRecord& record, const QStringList& columns, const QString& where,
            Result& result)
{
    if (!record.broken.isEmpty()) {
        result.problems << Problem{where, record.broken};
        return;
    }
    if (record.cells.size() != columns.size()) {
        result.problems << Problem{where,
                                   QStringLiteral("the row has %1 cells, but the header names %2 "
                                                  "columns; a cell holding a comma goes in quotes")
                                       .arg(record.cells.size())
                                       .arg(columns.size())};
        return;
    }
    Row row{where, {}};
    for (qsizetype c = 0; c < columns.size(); ++c) {
        bool ok = true;
        const QString text = decoded(record.cells.at(c), &ok);
        if (!ok) {
            result.problems << Problem{
                where, QStringLiteral("the cell \"%1\" is not UTF-8 text; save the file as UTF-8")
                           .arg(columns.at(c))};
            return;
        }
        const int field = fieldOfDataKey(columns.at(c));
        if (field >= 0)
            row.record.fields.at(std::size_t(field)) = text;
        else if (columns.at(c) == servicesDataKey())
            row.record.services = listItems(text);
        else
            row.record.scheduledServices = listItems(text);
    }
    result.rows << row;
}

} // namespace

Result parseCsv(const QByteArray& source, const QString& name)
{
    Result result;
    QByteArray bytes = source;
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    const QList<CsvRecord> records = CsvReader(bytes).records();
    auto at = [&](qsizetype line) -> QString {
        return name + QLatin1Char(':') + QString::number(line);
    };
    if (records.isEmpty()) {
        result.problems << Problem{name, QStringLiteral("the file is empty; it needs a header "
                                                        "row naming its columns")};
        return result;
    }
    const std::optional<QStringList> columns =
        headerColumns(records.first(), at(records.first().line), result);
    if (!columns)
        return result;
    if (records.size() == 1)
        result.problems << Problem{name,
                                   QStringLiteral("the file holds no flyers, only a header row")};
    for (qsizetype r = 1; r < records.size(); ++r)
        addRow(records.at(r), *columns, at(records.at(r).line), result);
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
