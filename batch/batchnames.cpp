#include "batch/batchnames.h"

#include <QHash>
#include <QSet>

#include <algorithm>

namespace BatchNames {

QString safeName(const QString& businessName)
{
    static const QString refused = QStringLiteral("/\\:*?\"<>|");
    QString name;
    name.reserve(businessName.size());
    bool blank = false;
    for (const QChar c : businessName) {
        // Runs of blanks and line breaks become one blank.
        if (c.isSpace() || c.category() == QChar::Other_Control) {
            blank = !name.isEmpty();
            continue;
        }
        if (blank)
            name += QLatin1Char(' ');
        blank = false;
        name += refused.contains(c) ? QLatin1Char('_') : c;
    }
    while (name.startsWith(QLatin1Char('.')))
        name.remove(0, 1);
    name.truncate(120);
    // Never split a surrogate pair at the cut.
    if (!name.isEmpty() && name.back().isHighSurrogate())
        name.chop(1);
    while (name.endsWith(QLatin1Char('.')) || name.endsWith(QLatin1Char(' ')))
        name.chop(1);
    return name.isEmpty() ? QStringLiteral("Flyer") : name;
}

QStringList fileNames(const QStringList& businessNames)
{
    QStringList names;
    QSet<QString> taken;
    QHash<QString, int> next;
    for (const QString& business : businessNames) {
        const QString base = safeName(business);
        QString name = base;
        int& n = next[base.toCaseFolded()];
        // "Acme (2)" typed as a business name takes that name from a second "Acme".
        while (taken.contains(name.toCaseFolded())) {
            n = std::max(n + 1, 2);
            name = base + QStringLiteral(" (%1)").arg(n);
        }
        taken.insert(name.toCaseFolded());
        names << name;
    }
    return names;
}

} // namespace BatchNames
