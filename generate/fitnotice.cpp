#include "generate/fitnotice.h"

#include "generate/flyertext.h"

#include <QLocale>
#include <QRegularExpression>
#include <QTextBoundaryFinder>

#include <algorithm>

using namespace Qt::Literals::StringLiterals;

namespace FitNotice {

namespace {

struct Known
{
    QLatin1StringView token;
    QLatin1StringView name;
    bool plural;
};

const Known kKnown[] = {
    {"[BusinessName]"_L1, "the business name"_L1, false},
    {"[TagLine]"_L1, "the tag line"_L1, false},
    {"[OwnerName]"_L1, "the owner's name"_L1, false},
    {"[Title]"_L1, "the title"_L1, false},
    {"[Address]"_L1, "the address"_L1, false},
    {"[City]"_L1, "the city"_L1, false},
    {"[State]"_L1, "the state"_L1, false},
    {"[Zip]"_L1, "the zip code"_L1, false},
    {"[PhoneNo]"_L1, "the phone number"_L1, false},
    {"[FaxNo]"_L1, "the fax number"_L1, false},
    {"[Name2]"_L1, "the name on the tear-off tabs"_L1, false},
    {"[Address2]"_L1, "the address on the tear-off tabs"_L1, false},
    {"[Phone2]"_L1, "the phone number on the tear-off tabs"_L1, false},
    {"[Email2]"_L1, "the e-mail on the tear-off tabs"_L1, false},
    {"[Services1]"_L1, "the services in the left column"_L1, true},
    {"[Services2]"_L1, "the services in the right column"_L1, true},
    {"[ScheduledServices]"_L1, "the scheduled services"_L1, true},
};

const Known* known(const QString& token)
{
    for (const Known& entry : kKnown) {
        if (token == entry.token)
            return &entry;
    }
    return nullptr;
}

const QRegularExpression& tokenPattern()
{
    static const QRegularExpression pattern(u"\\[[A-Za-z0-9]+\\]"_s);
    return pattern;
}

bool isList(const QString& token)
{
    return token == "[Services1]"_L1 || token == "[Services2]"_L1;
}

QString capitalised(QString text)
{
    if (!text.isEmpty())
        text[0] = text.at(0).toUpper();
    return text;
}

// "a", "a and b", "a, b and c".
QString joined(const QStringList& names)
{
    if (names.size() < 2)
        return names.value(0);
    return names.mid(0, names.size() - 1).join(", "_L1) + " and "_L1 + names.last();
}

// A count as people read it: 28, 1,200.
QString number(qsizetype value)
{
    return QLocale(QLocale::English).toString(qlonglong(value));
}

// "1 character", "28 characters".
QString characters(qsizetype count)
{
    return number(count) + (count == 1 ? " character"_L1 : " characters"_L1);
}

// The box's text after filling, as far as its length goes.
qsizetype filledLength(const QString& templateText, const QStringList& tokens,
                       const QHash<QString, QString>& filled)
{
    qsizetype length = templateText.size();
    for (const QString& token : tokens)
        length += filled.value(token).size() - token.size();
    return length;
}

// Whether `token`'s text stands in one of the paragraphs that were made
// smaller, when only some were.
bool inSmallerParagraph(const QString& token, const Word::TextFit& fit,
                        const QHash<QString, QString>& filled)
{
    if (fit.smallerParagraphs.isEmpty())
        return true;
    const QString text = filled.value(token).trimmed().left(40);
    return std::any_of(fit.smallerParagraphs.begin(), fit.smallerParagraphs.end(),
                       [&](const QString& paragraph) { return paragraph.contains(text); });
}

// The fields of a box whose text ends past the `shown` characters of the
// filled box, in their order.
QStringList cutOff(const QString& templateText, qsizetype shown,
                   const QHash<QString, QString>& filled)
{
    QStringList tokens;
    qsizetype shift = 0;
    for (auto it = tokenPattern().globalMatch(templateText); it.hasNext();) {
        const auto match = it.next();
        const QString found = match.captured();
        if (!known(found))
            continue;
        const qsizetype length = filled.value(found).size();
        if (length > 0 && match.capturedStart() + shift + length > shown && !tokens.contains(found))
            tokens << found;
        shift += length - found.size();
    }
    return tokens;
}

// Why one box that does not fit does not, and what would make it fit.
QString overflowReason(const Box& box, const Word::TextFit& fit,
                       const QHash<QString, QString>& filled)
{
    const QStringList tokens = tokensIn(box.templateText);
    QStringList present;
    for (const QString& token : tokens) {
        if (!filled.value(token).isEmpty() && !present.contains(token) &&
            inSmallerParagraph(token, fit, filled))
            present << token;
    }
    if (present.isEmpty())
        present = tokens;
    if (present.isEmpty())
        return u"A text box of the flyer does not fit its text."_s;
    const qsizetype total = filledLength(box.templateText, tokens, filled);
    const qsizetype shown = std::clamp<qsizetype>(fit.shownCharacters, 0, total);
    const qsizetype excess = std::max<qsizetype>(1, total - shown);

    if (present.size() == 1 && isList(present.first())) {
        // Whole items: those that end within what the box shows.
        const QStringList items = filled.value(present.first()).split(u'\r', Qt::SkipEmptyParts);
        qsizetype used = box.templateText.indexOf(present.first());
        qsizetype showing = 0;
        for (const QString& item : items) {
            used += item.size() + 1;
            if (used > shown)
                break;
            ++showing;
        }
        return u"%1 do not fit: about %2 of the %3 show. Remove some, or shorten them."_s.arg(
            capitalised(fieldName(present.first())), number(showing), number(items.size()));
    }

    // The longest field gives way first.
    const QString longest =
        *std::max_element(present.begin(), present.end(), [&](const QString& a, const QString& b) {
            return filled.value(a).size() < filled.value(b).size();
        });
    const qsizetype length = filled.value(longest).size();
    const qsizetype keep = length - excess;
    const Known* entry = known(longest);
    const bool plural = entry && entry->plural;
    if (present.size() == 1 || keep >= std::max<qsizetype>(1, length / 4)) {
        return u"%1 %2; shorten %3 to about %4."_s.arg(
            capitalised(fieldName(longest)), plural ? "do not fit"_L1 : "does not fit"_L1,
            plural ? "them"_L1 : "it"_L1,
            characters(std::max<qsizetype>(1, FlyerText::characterCount(filled.value(longest).left(
                                                  std::max<qsizetype>(0, keep))))));
    }
    QStringList names;
    QString together;
    for (const QString& token : present) {
        names << fieldName(token);
        together += filled.value(token);
    }
    const qsizetype kept = std::max<qsizetype>(0, together.size() - excess);
    return u"%1 do not fit together; shorten them to about %2 in all."_s.arg(
        capitalised(joined(names)),
        characters(std::max<qsizetype>(1, FlyerText::characterCount(together.left(kept)))));
}

// The reason, and every other field that the box does not show in full, so
// that nothing vanishes unnamed.
QString overflowLine(const Box& box, const Word::TextFit& fit,
                     const QHash<QString, QString>& filled)
{
    QString reason = overflowReason(box, fit, filled);
    QStringList others;
    for (const QString& token : cutOff(box.templateText, fit.shownCharacters, filled)) {
        if (!isList(token) && !reason.contains(fieldName(token), Qt::CaseInsensitive))
            others << fieldName(token);
    }
    if (others.isEmpty())
        return reason;
    return reason + u" Not shown in full either: %1."_s.arg(joined(others));
}

QString shrunkLine(const Box& box, const Word::TextFit& fit, const QHash<QString, QString>& filled)
{
    QStringList names;
    bool plural = false;
    for (const QString& token : tokensIn(box.templateText)) {
        if (!filled.value(token).isEmpty() && !names.contains(fieldName(token)) &&
            inSmallerParagraph(token, fit, filled)) {
            names << fieldName(token);
            plural = plural || known(token)->plural;
        }
    }
    if (names.isEmpty())
        names << u"the text of a box"_s;
    return u"%1 %2 printed at %3 % of the designed size."_s
        .arg(capitalised(joined(names)), plural || names.size() > 1 ? "were"_L1 : "was"_L1)
        .arg(fit.percent);
}

// Code points that draw nothing of their own: blanks, controls, joiners and
// the selectors that pick an emoji's or a letter's form. No font need have them.
bool drawsNothing(char32_t code)
{
    const auto category = QChar::category(code);
    return category == QChar::Other_Control || category == QChar::Other_Format ||
           category == QChar::Separator_Space || category == QChar::Separator_Line ||
           category == QChar::Separator_Paragraph || (code >= 0xfe00 && code <= 0xfe0f) ||
           (code >= 0xe0100 && code <= 0xe01ef);
}

// The character as the notice names it: itself, and its number, since the
// notice's own font may lack it too.
QString named(const QString& character)
{
    QStringList numbers;
    for (const char32_t code : character.toUcs4()) {
        if (!drawsNothing(code))
            numbers << u"U+%1"_s.arg(uint(code), 4, 16, QLatin1Char('0')).toUpper();
    }
    return u"%1 (%2)"_s.arg(character, numbers.join(u' '));
}

} // namespace

QStringList tokensIn(const QString& text)
{
    QStringList tokens;
    for (auto it = tokenPattern().globalMatch(text); it.hasNext();) {
        const QString found = it.next().captured();
        if (known(found))
            tokens << found;
    }
    return tokens;
}

QString fieldName(const QString& token)
{
    const Known* entry = known(token);
    return entry ? QString(entry->name) : token;
}

QString notice(const std::vector<Box>& boxes, const std::vector<Word::TextFit>& fits,
               const QHash<QString, QString>& filled)
{
    QStringList overflowing;
    QStringList shrunk;
    for (std::size_t i = 0; i < fits.size() && i < boxes.size(); ++i) {
        const Word::TextFit& fit = fits[i];
        // The tear-off tabs are eight boxes with the same text: one line for all.
        if (!fit.fits) {
            const QString line = overflowLine(boxes[i], fit, filled);
            if (!overflowing.contains(line))
                overflowing << line;
        } else if (fit.percent < 100) {
            const QString line = shrunkLine(boxes[i], fit, filled);
            if (!shrunk.contains(line))
                shrunk << line;
        }
    }
    if (overflowing.isEmpty() && shrunk.isEmpty())
        return {};
    QStringList paragraphs;
    if (!overflowing.isEmpty()) {
        // The saved document is the flyer: what the boxes do not show is not
        // shown there either, and text past the laid-out limit is not in it.
        paragraphs << u"Some text does not fit on the flyer, even printed smaller. The flyer "
                      u"and the saved document show only what fits; your entries keep all of "
                      u"it."_s;
        paragraphs << overflowing;
    }
    if (!shrunk.isEmpty()) {
        if (overflowing.isEmpty())
            paragraphs << u"Some text was printed smaller so that it fits on the flyer."_s;
        paragraphs << shrunk;
    }
    return paragraphs.join(u"\n\n"_s);
}

QString missingCharactersNotice(const QHash<QString, QString>& filled,
                                const std::function<bool(char32_t)>& shown)
{
    // A few, not a flood: the first ones met, and how many more there are.
    constexpr qsizetype kNamed = 5;
    QStringList missing;
    QStringList fields;
    for (const Known& entry : kKnown) {
        const QString text = filled.value(entry.token);
        QTextBoundaryFinder graphemes(QTextBoundaryFinder::Grapheme, text);
        for (qsizetype start = 0, end = 0; (end = graphemes.toNextBoundary()) > 0; start = end) {
            const QString character = text.mid(start, end - start);
            const auto codes = character.toUcs4();
            if (std::all_of(codes.begin(), codes.end(),
                            [&](char32_t code) { return drawsNothing(code) || shown(code); }))
                continue;
            if (!missing.contains(character))
                missing << character;
            if (!fields.contains(QString(entry.name)))
                fields << QString(entry.name);
        }
    }
    if (missing.isEmpty())
        return {};
    QStringList names;
    for (qsizetype i = 0; i < std::min(kNamed, missing.size()); ++i)
        names << named(missing.at(i));
    QString list = names.join(", "_L1);
    if (missing.size() > kNamed)
        list += u" and %1 more"_s.arg(number(missing.size() - kNamed));
    return u"Some characters cannot be shown: no installed font has %1, so the flyer prints "
           u"blanks or empty boxes in their place (in %2). Installing fonts that have them "
           u"lets them print: for Chinese, Japanese and Korean the package fonts-noto-cjk, for "
           u"emoji fonts-noto-color-emoji."_s.arg(list, joined(fields));
}

QString noNameNotice()
{
    return u"The flyer has no business name, so whoever reads it cannot tell whose it is. "
           u"Type it into Business Name and make the flyer again."_s;
}

QString cutNotice(const QList<Cut>& cuts)
{
    if (cuts.isEmpty())
        return {};
    QStringList lines{u"Some of your text is far longer than the flyer can show, even printed "
                      u"small, so only its beginning goes on the flyer:"_s};
    for (const Cut& cut : cuts) {
        lines << u"%1: the first %2 of its %3 %4."_s.arg(
            capitalised(fieldName(cut.token)), number(cut.kept), number(cut.total),
            cut.services ? "services"_L1 : "characters"_L1);
    }
    lines << u"Your entries keep everything you typed."_s;
    return lines.join(u"\n\n"_s);
}

} // namespace FitNotice
