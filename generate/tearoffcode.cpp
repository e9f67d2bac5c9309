#include "generate/tearoffcode.h"

#include "base/failure.h"
#include "base/flyerfields.h"
#include "base/settings.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <qrencode.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>
#include <vector>

namespace TearOffCode {

namespace {

struct CodeDeleter
{
    void operator()(QRcode* code) const { QRcode_free(code); }
};
using Code = std::unique_ptr<QRcode, CodeDeleter>;

// The smallest code that holds `bytes` at level M, or none when no code
// does. The library picks the densest mode for each stretch of the text.
Code encode(const QByteArray& bytes)
{
    return Code(QRcode_encodeString(bytes.constData(), 0, QR_ECLEVEL_M, QR_MODE_8, 1));
}

// Modules across a code with its quiet zone.
int modulesAcross(const QRcode& code)
{
    return code.width + 2 * kQuietModules;
}

int mostModules(double sidePoints)
{
    return int(std::floor(sidePoints / kSmallestModulePoints + 1e-9));
}

bool fits(const QByteArray& bytes, double sidePoints)
{
    const Code code = encode(bytes);
    return code && modulesAcross(*code) <= mostModules(sidePoints);
}

bool isRefusedControl(QChar c)
{
    // A contact card's lines end in line breaks; other control characters would be
    // read by no phone the way the user sees them typed.
    if (c == QLatin1Char('\r') || c == QLatin1Char('\n'))
        return false;
    return c.category() == QChar::Other_Control || c.category() == QChar::Other_Format;
}

QString escapedCardValue(QString value)
{
    value.replace(QLatin1Char('\\'), QLatin1String("\\\\"));
    value.replace(QLatin1Char(','), QLatin1String("\\,"));
    value.replace(QLatin1Char(';'), QLatin1String("\\;"));
    return value.trimmed();
}

// A code's picture and the bytes of its PNG file.
struct CodePicture
{
    QString text;
    double sidePoints = 0;
    QImage image;
    QByteArray png;
};

// The code stays the same click after click: the last one made is kept (on
// each thread, since the batch tool's workers make flyers side by side).
const CodePicture& codePicture(const QString& text, double sidePoints)
{
    thread_local CodePicture kept;
    if (kept.image.isNull() || kept.text != text || kept.sidePoints != sidePoints) {
        CodePicture made{text, sidePoints, picture(text, sidePoints), {}};
        QBuffer buffer(&made.png);
        if (buffer.open(QIODevice::WriteOnly))
            made.image.save(&buffer, "PNG");
        kept = std::move(made);
    }
    return kept;
}

} // namespace

QString stored()
{
    return ReadSetting(QLatin1String(kSettingsKey));
}

void store(const QString& text)
{
    WriteSetting(QLatin1String(kSettingsKey), text);
}

int capacity(double sidePoints)
{
    // Lower-case letters take the least dense mode, so what fits of them fits
    // of any plain text.
    int low = 0;
    int high = 3000;
    while (low < high) {
        const int middle = (low + high + 1) / 2;
        if (fits(QByteArray(middle, 'a'), sidePoints))
            low = middle;
        else
            high = middle - 1;
    }
    return low;
}

QString problem(const QString& text, double sidePoints)
{
    for (const QChar c : text)
        if (isRefusedControl(c) || c.isNull())
            return QStringLiteral("The code's text holds a control character (a tab, or a "
                                  "character that cannot be seen). Type it again without one.");
    if (!fits(text.toUtf8(), sidePoints)) {
        const int most = capacity(sidePoints);
        return QStringLiteral("This text is too long for a code on a tear-off tab: it has %1 "
                              "characters, and a tab's code holds at most %2 (fewer with "
                              "letters outside English). Use a shorter text, for example a "
                              "short web address.")
            .arg(text.size())
            .arg(most);
    }
    return QString();
}

QImage picture(const QString& text, double sidePoints)
{
    if (const QString why = problem(text, sidePoints); !why.isEmpty())
        throw Failure(why);
    const Code code = encode(text.toUtf8());
    const int modules = modulesAcross(*code);
    const double moduleInches = kSmallestModulePoints / 72.0;
    const int pixelsPerModule = int(std::ceil(kDotsPerInch * moduleInches));
    const int side = modules * pixelsPerModule;
    // The quiet zone's sides give way to the cut lines where the tab is
    // barely wider than the code; a reader needs less than all four modules.
    const double pixelPoints = kSmallestModulePoints / pixelsPerModule;
    const double room = (sidePoints - modules * kSmallestModulePoints) / 2;
    const int cut = std::max(0, int(std::ceil((kCutLineClearancePoints - room) / pixelPoints)));
    QImage image(side - 2 * cut, side, QImage::Format_Mono);
    image.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
    image.fill(0);
    for (int y = 0; y < code->width; ++y)
        for (int x = 0; x < code->width; ++x) {
            if (!(code->data[y * code->width + x] & 1))
                continue;
            const int left = (x + kQuietModules) * pixelsPerModule - cut;
            const int top = (y + kQuietModules) * pixelsPerModule;
            for (int row = top; row < top + pixelsPerModule; ++row)
                for (int column = left; column < left + pixelsPerModule; ++column)
                    image.setPixel(column, row, 1);
        }
    const int dotsPerMeter = int(std::lround(pixelsPerModule / moduleInches / 0.0254));
    image.setDotsPerMeterX(dotsPerMeter);
    image.setDotsPerMeterY(dotsPerMeter);
    return image;
}

QSizeF printedSize(const QImage& picture)
{
    return QSizeF(picture.width() / (picture.dotsPerMeterX() * 0.0254) * 72.0,
                  picture.height() / (picture.dotsPerMeterY() * 0.0254) * 72.0);
}

QRectF placeInTab(const QRectF& tab, const QImage& picture)
{
    const QSizeF size = printedSize(picture);
    return QRectF(tab.center().x() - size.width() / 2, tab.bottom() - size.height(), size.width(),
                  size.height());
}

int placeOnTabs(Word::Document& document, const std::vector<std::shared_ptr<Word::Shape>>& shapes,
                const QStringList& templateTexts, const QString& text, const QString& folder)
{
    // The tabs are the boxes that hold the tab's own fields (Name2 to Phone2).
    auto isTab = [&](std::size_t i) {
        for (int field = FlyerFields::kFirstTabField; field < FlyerFields::kFieldCount; ++field)
            if (templateTexts.value(qsizetype(i)).contains(FlyerFields::token(field)))
                return true;
        return false;
    };
    const QString file = folder + QStringLiteral("/tear-off-code.png");
    // Whatever happens, the picture file does not outlive the run.
    struct Removal
    {
        QString path;
        ~Removal() { QFile::remove(path); }
    } removal{file};
    const CodePicture* code = nullptr;
    std::vector<QRectF> places;
    for (std::size_t i = 0; i < shapes.size(); ++i) {
        if (!isTab(i))
            continue;
        const QRectF tab = shapes[i]->place();
        // The tabs are alike; one picture serves them all.
        if (!code) {
            code = &codePicture(text, tab.width());
            QFile written(file);
            if (code->png.isEmpty() || !written.open(QIODevice::WriteOnly) ||
                written.write(code->png) != code->png.size() || !written.flush())
                throw Failure(QStringLiteral("The tear-off tabs' code could not be written to %1.")
                                  .arg(QDir::toNativeSeparators(folder)));
        }
        places.push_back(placeInTab(tab, code->image));
        shapes[i]->setHeight(tab.height() - places.back().height());
    }
    if (places.empty())
        return 0;
    return int(document.addPictures(file, places).size());
}

QString breakableOnTab(const QString& text)
{
    const QString gap(QChar(0x200B));
    // About what a tab's line beside the code holds at the smallest size:
    // a shorter part stays whole on its line.
    constexpr qsizetype kLineCharacters = 16;
    QStringList words = text.split(QLatin1Char(' '));
    for (QString& word : words) {
        const qsizetype at = word.indexOf(QLatin1Char('@'));
        const qsizetype scheme = word.indexOf(QLatin1String("://"));
        const bool web = scheme > 0 || word.startsWith(QLatin1String("www."), Qt::CaseInsensitive);
        if (at <= 0 && (!web || word.size() <= kLineCharacters))
            continue;
        const qsizetype hostStart = at > 0 ? at + 1 : (scheme > 0 ? scheme + 3 : 0);
        qsizetype hostEnd = word.indexOf(QLatin1Char('/'), hostStart);
        if (hostEnd < 0)
            hostEnd = word.size();
        QString host = word.mid(hostStart, hostEnd - hostStart);
        QString path = word.mid(hostEnd);
        if (host.size() > kLineCharacters)
            host.replace(QLatin1Char('.'), gap + QLatin1Char('.'));
        if (web)
            path.replace(QLatin1Char('/'), QLatin1Char('/') + gap);
        const QString head = at > 0
                                 ? QString(word.left(at) + gap + QLatin1Char('@'))
                                 : QString(word.left(hostStart) + (scheme > 0 ? gap : QString()));
        word = head + host + path;
    }
    return words.join(QLatin1Char(' '));
}

QString phoneLink(const QString& phone)
{
    QString digits = phone.trimmed();
    const bool international = digits.startsWith(QLatin1Char('+'));
    digits.remove(QRegularExpression(QStringLiteral("[^0-9]")));
    return QStringLiteral("tel:") + (international ? QStringLiteral("+") : QString()) + digits;
}

QString contactCard(const QString& name, const QString& address, const QString& phone,
                    const QString& email)
{
    // As small as the format allows, since a tab's code holds little: line
    // feeds alone end the lines (phones' readers take them), trailing empty
    // parts of a value are left out, and so is every empty detail.
    const QLatin1Char end('\n');
    // The family name is the last word: "Tobin Marsh" is N:Marsh;Tobin.
    const QString fullName = name.simplified();
    const qsizetype lastSpace = fullName.lastIndexOf(QLatin1Char(' '));
    const QString family = lastSpace < 0 ? fullName : fullName.mid(lastSpace + 1);
    const QString given = lastSpace < 0 ? QString() : fullName.left(lastSpace);
    QString card = QStringLiteral("BEGIN:VCARD") + end + QStringLiteral("VERSION:3.0") + end +
                   QStringLiteral("N:") + escapedCardValue(family) +
                   (given.isEmpty() ? QString() : QLatin1Char(';') + escapedCardValue(given)) +
                   end + QStringLiteral("FN:") + escapedCardValue(fullName) + end;
    if (!address.trimmed().isEmpty())
        card += QStringLiteral("ADR:;;") + escapedCardValue(address) + end;
    if (!phone.trimmed().isEmpty())
        card += QStringLiteral("TEL:") + phone.trimmed() + end;
    if (!email.trimmed().isEmpty())
        card += QStringLiteral("EMAIL:") + email.trimmed() + end;
    return card + QStringLiteral("END:VCARD");
}

QString cardTooLong(const QString& name, const QString& address, const QString& phone,
                    const QString& email)
{
    const qsizetype length = contactCard(name, address, phone, email).toUtf8().size();
    const int most = capacity();
    if (length <= most)
        return QString();
    // The longest details first: shortening those helps most.
    std::vector<std::pair<qsizetype, QString>> details = {
        {name.trimmed().size(), QStringLiteral("the name")},
        {address.trimmed().size(), QStringLiteral("the address")},
        {phone.trimmed().size(), QStringLiteral("the phone number")},
        {email.trimmed().size(), QStringLiteral("the e-mail")}};
    std::stable_sort(details.begin(), details.end(),
                     [](const auto& one, const auto& other) { return one.first > other.first; });
    QStringList named;
    for (const auto& [size, words] : details)
        if (size > 0)
            named << QStringLiteral("%1 (%2%3)")
                         .arg(words)
                         .arg(size)
                         .arg(named.isEmpty() ? QStringLiteral(" characters") : QString());
    return QStringLiteral("A contact card with these Flyer Details of the tear-off tabs is %1 "
                          "characters long, and a tab's code holds at most %2, so %3 characters "
                          "must go. Shorten or empty under Flyer Details: %4. A card with only a "
                          "short name fits; a web address or the phone number fits more easily.")
        .arg(length)
        .arg(most)
        .arg(length - most)
        .arg(named.join(QStringLiteral(", ")));
}

} // namespace TearOffCode
