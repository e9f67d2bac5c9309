#pragma once

#include <QString>
#include <QStringList>

// Text rules of the two service lists, apart from the window so that they can
// be checked on plain values.

// True when an "Add" answer holds nothing but blanks (U+0020; a tab counts as
// text), so that nothing is to be added.
bool isBlankAnswer(const QString& answer);

// The items an "Add" answer becomes. The store joins items with ";" and splits
// them there again at the next start, so an answer "A;B" is added as the two
// items it will come back as; blank pieces are dropped. Other pieces keep
// their blanks, untrimmed, exactly as typed.
QStringList itemsFromAnswer(const QString& answer);
