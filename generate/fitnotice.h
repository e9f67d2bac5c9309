#pragma once

#include "generate/word.h"

#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// What the user is told after a flyer was made when some of its text had to
// be made smaller, or does not fit its box even then: the fields named in
// plain words, with how much would fit. Built from plain values so that it
// can be checked without an office.
namespace FitNotice {

// One box of the template as filling found it: its text with the tokens
// still in it (empty for a shape without text).
struct Box
{
    QString templateText;
};

// The tokens that template filling replaces, in their order in `text`.
QStringList tokensIn(const QString& text);

// The field or list a token stands for, in plain words ("the e-mail on the
// tear-off tabs"); the token itself for one this program does not know.
QString fieldName(const QString& token);

// The notice for the fits of one filling run, or "" when every box kept its
// designed size. `boxes` and `fits` are both in the order of the document's
// shapes; `filled` gives the text each token was replaced by.
QString notice(const std::vector<Box>& boxes, const std::vector<Word::TextFit>& fits,
               const QHash<QString, QString>& filled);

// What the user is told when some characters of the flyer's texts (`filled`,
// by token) are in no installed font, as `shown` says of each code point, or
// "" when every one is: a few of them, and the fields they are in.
QString missingCharactersNotice(const QHash<QString, QString>& filled,
                                const std::function<bool(char32_t)>& shown);

// What the user is told over the preview of a flyer without a business name.
QString noNameNotice();

// Text of one field or list that will not go on the flyer at all: `kept` of
// its `total` characters (or services, when `services` is set) go on it.
struct Cut
{
    QString token;
    qsizetype kept = 0;
    qsizetype total = 0;
    bool services = false;
};

// What the user is told before a run that leaves text out, or "" for none.
QString cutNotice(const QList<Cut>& cuts);

} // namespace FitNotice
