#include "generate/flyertext.h"

#include <QTextBoundaryFinder>

#include <algorithm>
#include <array>

namespace FlyerText {

namespace {
// Items that fit in the left services column of the template.
constexpr int kLeftColumnLines = 10;

void appendServiceLine(QString& column, const QString& item)
{
    column += QChar(kBullet);
    column += QLatin1String("   ");
    column += item;
    column += QChar(13);
}
} // namespace

ServiceColumns servicesColumns(const QStringList& services)
{
    ServiceColumns columns;
    const int count = int(services.size());
    for (int i = 0; i < count; ++i)
        appendServiceLine(count > kLeftColumnLines && i >= kLeftColumnLines ? columns.second
                                                                            : columns.first,
                          services.at(i));
    return columns;
}

ServiceColumns balancedColumns(const QStringList& services)
{
    ServiceColumns columns;
    const qsizetype left = (services.size() + 1) / 2;
    for (qsizetype i = 0; i < services.size(); ++i)
        appendServiceLine(i < left ? columns.first : columns.second, services.at(i));
    return columns;
}

ServiceColumns columnsToFill(const QStringList& services)
{
    auto cut = [](const ServiceColumns& columns) {
        return laidOutColumn(columns.first) != columns.first ||
               laidOutColumn(columns.second) != columns.second;
    };
    ServiceColumns designed = servicesColumns(services);
    if (services.size() < 2)
        return designed;
    ServiceColumns balanced = balancedColumns(services);
    return cut(designed) || cut(balanced) ? balanced : designed;
}

QList<Edit> emptyFieldEdits(const std::function<bool(const QString&)>& empty)
{
    const QString dot = QStringLiteral("   \u2022   ");
    // Joins the filled pieces; `separators[i]` goes before piece i.
    auto line = [&](const QStringList& tokens, const QStringList& pieces,
                    const QStringList& separators) {
        QString joined;
        for (qsizetype i = 0; i < tokens.size(); ++i) {
            if (empty(tokens.at(i)))
                continue;
            if (!joined.isEmpty())
                joined += separators.at(i);
            joined += pieces.at(i);
        }
        return joined.isEmpty() ? tokens.first() : joined;
    };
    const QStringList address{QStringLiteral("[Address]"), QStringLiteral("[City]"),
                              QStringLiteral("[State]"), QStringLiteral("[Zip]")};
    const QStringList contact{QStringLiteral("[PhoneNo]"), QStringLiteral("[FaxNo]")};
    const QStringList contactPieces{QStringLiteral("Phone:  [PhoneNo]"),
                                    QStringLiteral("Fax:  [FaxNo]")};
    QList<Edit> edits;
    auto add = [&](const QString& designed, const QString& rewritten) {
        if (rewritten != designed)
            edits.append({designed, rewritten});
    };
    // The state and zip follow the street with the bullet when the city is
    // missing, and the zip follows the city with a space when the state is.
    QStringList separators{QString(), dot, QStringLiteral(", "), QStringLiteral(" ")};
    if (empty(address.at(1)))
        separators[2] = separators[3] = dot;
    if (empty(address.at(1)) && !empty(address.at(2)))
        separators[3] = QStringLiteral(" ");
    add(address.at(0) + dot + QStringLiteral("[City], [State] [Zip]"),
        line(address, address, separators));
    add(contactPieces.join(dot), line(contact, contactPieces, {QString(), dot}));
    return edits;
}

QString scheduledServicesText(const QStringList& scheduled)
{
    const int count = int(scheduled.size());
    if (count == 1)
        return scheduled.first();
    QString text;
    for (int i = 0; i < count; ++i) {
        if (i < count - 1) {
            text += scheduled.at(i);
            text += QLatin1String("  ");
            text += QChar(kBullet);
            text += QLatin1String("  ");
        } else {
            // Drops "  " and the bullet and one space of the separator before
            // it, which leaves "item " + " and " = "item  and last".
            text.chop(4);
            text += QLatin1String(" and ");
            text += scheduled.at(i);
        }
    }
    return text;
}

std::mt19937& documentNameGenerator()
{
    static std::mt19937 generator = [] {
        std::random_device device;
        std::array<std::uint32_t, 8> entropy{};
        for (auto& word : entropy)
            word = device();
        std::seed_seq seed(entropy.begin(), entropy.end());
        return std::mt19937(seed);
    }();
    return generator;
}

QString documentName(std::mt19937& generator)
{
    std::uniform_int_distribution<int> digit(1, 9);
    QString name = QStringLiteral("qorvin");
    for (int i = 0; i < 8; ++i)
        name += QChar(u'0' + digit(generator));
    name += QLatin1String(".doc");
    return name;
}

QString freeDocumentPath(const QString& folder, std::mt19937& generator,
                         const std::function<bool(const QString&)>& exists)
{
    for (;;) {
        QString path = folder + QLatin1Char('/') + documentName(generator);
        if (!exists(path))
            return path;
    }
}

QRectF fittedPlace(const QSize& pixels, const QRectF& box)
{
    if (pixels.isEmpty() || box.isEmpty())
        return box;
    const QSizeF size = QSizeF(pixels).scaled(box.size(), Qt::KeepAspectRatio);
    return QRectF(box.left() + (box.width() - size.width()) / 2,
                  box.top() + (box.height() - size.height()) / 2, size.width(), size.height());
}

QString laidOutText(const QString& text)
{
    if (text.size() <= kLaidOutCharacters)
        return text;
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    characters.setPosition(kLaidOutCharacters);
    if (!characters.isAtBoundary())
        characters.toPreviousBoundary();
    return text.left(std::max<qsizetype>(0, characters.position()));
}

qsizetype characterCount(const QString& text)
{
    QTextBoundaryFinder characters(QTextBoundaryFinder::Grapheme, text);
    qsizetype count = 0;
    while (characters.toNextBoundary() > 0)
        ++count;
    return count;
}

QString laidOutColumn(const QString& column)
{
    if (column.size() <= kLaidOutCharacters)
        return column;
    const qsizetype lastLineEnd = column.lastIndexOf(QLatin1Char('\r'), kLaidOutCharacters - 1);
    return lastLineEnd >= 0 ? column.left(lastLineEnd + 1) : laidOutText(column);
}

} // namespace FlyerText
