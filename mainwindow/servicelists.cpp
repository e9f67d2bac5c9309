#include "mainwindow/servicelists.h"

bool isBlankAnswer(const QString& answer)
{
    for (const QChar c : answer) {
        if (c != QLatin1Char(' '))
            return false;
    }
    return true;
}

QStringList itemsFromAnswer(const QString& answer)
{
    QStringList items;
    const QStringList pieces = answer.split(QLatin1Char(';'));
    for (const QString& piece : pieces) {
        if (!isBlankAnswer(piece))
            items << piece;
    }
    return items;
}
