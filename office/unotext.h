#pragma once

// Text work on a LibreOffice document through UNO, in the meaning the Word
// model gives it. Only the office adapter and the template generator include
// this (it brings in UNO headers).

#include <QImage>
#include <QSize>
#include <QString>
#include <QStringList>

#include <com/sun/star/drawing/XDrawPage.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/text/XTextRange.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ustring.hxx>

#include <vector>

namespace Word {
class Application;
}

using rtl::OUString;

inline OUString toOUString(const QString& text)
{
    return OUString(reinterpret_cast<const sal_Unicode*>(text.utf16()), text.size());
}

inline QString toQString(const OUString& text)
{
    return QString(reinterpret_cast<const QChar*>(text.getStr()), text.getLength());
}

// Writes the page picture of `document` (the page as the office prints it,
// shapes included) as a PNG file of `pixels` (the preview's size unless
// given) at `path`, compressed as the office chooses unless `compression`
// (0 to 9) is given: the same pixels either way.
inline constexpr int kOfficeChosenCompression = -1;
void storePagePicture(const css::uno::Reference<css::lang::XComponent>& document,
                      const QString& path, QSize pixels = {},
                      int compression = kOfficeChosenCompression);

// The page of `document` as the office prints it, drawn straight onto a
// device of the office at the office's own screen resolution and handed
// over as pixels. Null when that resolution gives fewer pixels than `least`
// (a dense screen), where only storePagePicture() gives as many sharply.
QImage drawnPagePicture(const css::uno::Reference<css::uno::XComponentContext>& context,
                        const css::uno::Reference<css::lang::XComponent>& document, QSize least);

struct FindOptions
{
    QString text;
    bool matchCase = false;
    bool matchWholeWord = false;
};

enum class ReplaceMode { None, First, All };

// Replaces occurrences of options.text inside `text` (and nowhere else) by
// `replacement`, literally. A carriage return in the replacement starts a new
// paragraph, as in Word; the office itself would keep it inside the paragraph.
// Returns how many occurrences were found.
//
// The office searches the whole document for each call; callers that know the
// range's text can skip ranges that plainly lack options.text
// (mayContain()), and callers that replace in several texts one after the
// other can search once (findInDocument()) and replace with replaceHits().
int replaceInText(const css::uno::Reference<css::lang::XComponent>& document,
                  const css::uno::Reference<css::text::XText>& text, const FindOptions& options,
                  const QString& replacement, ReplaceMode mode);

// One occurrence found in a document, with the text (story) it lies in; the
// text is normalised to its XInterface, so that identity is a pointer compare.
struct TextHit
{
    css::uno::Reference<css::uno::XInterface> text;
    css::uno::Reference<css::text::XTextRange> range;
};

// Every occurrence of options.text in the whole document, in document order.
// The ranges follow later edits, so hits in one text stay right while
// another text is changed.
std::vector<TextHit> findInDocument(const css::uno::Reference<css::lang::XComponent>& document,
                                    const FindOptions& options);

// Replaces `ranges`, occurrences that lie in `text`, as replaceInText() does.
int replaceHits(const css::uno::Reference<css::text::XText>& text,
                const std::vector<css::uno::Reference<css::text::XTextRange>>& ranges,
                const QString& replacement, ReplaceMode mode);

// Replaces every occurrence of options.text in every story of the document by
// `replacement` in one call to the office, literally, keeping the look of the
// replaced text. The office keeps a carriage return in `replacement` inside
// its paragraph unless `startParagraphs` asks for one there, which takes a
// replacement replacesAllAtOnce() accepts. Returns how many occurrences were
// replaced.
int replaceAllInDocument(const css::uno::Reference<css::lang::XComponent>& document,
                         const FindOptions& options, const QString& replacement,
                         bool startParagraphs = false);

// True when replaceAllInDocument() can put in `replacement`: the office's
// replace-all has no line break within a paragraph, and starts paragraphs
// only where the backslash is not the text's own.
bool replacesAllAtOnce(const QString& replacement);

// False when `ownText` certainly holds no occurrence of options.text.
bool mayContain(const QString& ownText, const FindOptions& options);

// The document's stories: the body, the text of every text frame, then the
// headers and footers of the page styles in use.
std::vector<css::uno::Reference<css::text::XText>>
storyTexts(const css::uno::Reference<css::lang::XComponent>& document);

// The single draw page of a text document: its floating shapes, those of the
// headers and footers included.
css::uno::Reference<css::drawing::XDrawPage>
drawPageOf(const css::uno::Reference<css::uno::XInterface>& document);

// True for drawing objects and frames anchored in a header or footer, which
// the office lists with the body's shapes and Word does not.
bool isAnchoredInHeaderOrFooter(const css::uno::Reference<css::uno::XInterface>& object);

// A text's paragraphs joined by "\r", Word's paragraph mark; a line break
// inside a paragraph reads "\n".
QString paragraphText(const css::uno::Reference<css::text::XText>& text);
QStringList paragraphList(const css::uno::Reference<css::text::XText>& text);

// The whole of `text` replaced by `replacement` (a carriage return starts a
// paragraph), in the look of its first character.
void replaceWholeText(const css::uno::Reference<css::text::XText>& text,
                      const QString& replacement);

// Deletes each line of `text` that holds nothing but some of `tokens` and
// blanks (Word::Document::removeTokenLines); true when it deleted one.
bool removeLinesOfTokens(const css::uno::Reference<css::text::XText>& text,
                         const QStringList& tokens);

// The office context behind an application of the office engine, for tools
// that build documents with the full UNO API. Throws Failure for other engines.
css::uno::Reference<css::uno::XComponentContext> officeContext(Word::Application& application);
