#include "base/flyerfields.h"

#include <QRegularExpression>

#include <array>

namespace FlyerFields {

namespace {
constexpr std::array<const char*, kFieldCount> kTokens = {
    "[BusinessName]", "[City]",  "[Title]", "[PhoneNo]", "[FaxNo]",    "[Address]", "[OwnerName]",
    "[TagLine]",      "[State]", "[Zip]",   "[Name2]",   "[Address2]", "[Email2]",  "[Phone2]"};
constexpr std::array<const char*, kFieldCount> kCaptions = {
    "Business Name:", "City:",  "Title:",    "Phone No.:", "Fax No.:", "Address:", "Owner Name:",
    "Tag Line:",      "State:", "Zip Code:", "Name:",      "Address:", "Email:",   "Phone No.:"};
constexpr std::array<const char*, kFieldCount> kSampleTexts = {
    "Corvanti",
    "Boise",
    "Owner and Landscape Architect",
    "367.555.0100",
    "367.555.0101",
    "1234 East Main Street",
    "Arlo Penwright",
    "We have your landscape needs covered.",
    "ID",
    "91002",
    "Tobin Marsh",
    "123 Garage Street",
    "tobin.marsh@example.com",
    "367.555.0102"};
} // namespace

QString token(int index)
{
    return QLatin1StringView(kTokens.at(static_cast<std::size_t>(index)));
}

QString caption(int index)
{
    return QLatin1StringView(kCaptions.at(static_cast<std::size_t>(index)));
}

QString servicesCaption()
{
    return QStringLiteral("Services");
}

QString scheduledServicesCaption()
{
    return QStringLiteral("Scheduled Services");
}

QString sampleText(int index)
{
    return QString::fromUtf8(kSampleTexts.at(static_cast<std::size_t>(index)));
}

QString fieldKey(int index)
{
    return QStringLiteral("Text1_") + QString::number(index);
}

QString servicesKey()
{
    return QStringLiteral("List1");
}

QString scheduledServicesKey()
{
    return QStringLiteral("List2");
}

QString styleKey()
{
    return QStringLiteral("FlyerStyle");
}

const QStringList& sampleServices()
{
    static const QStringList items = {QStringLiteral("Mowing"),
                                      QStringLiteral("Edging"),
                                      QStringLiteral("Weeding Planted Areas"),
                                      QStringLiteral("Fertilizer Application"),
                                      QStringLiteral("Pruning"),
                                      QStringLiteral("Planting"),
                                      QStringLiteral("Hedge Trimming"),
                                      QStringLiteral("Tree Trimming and Removal"),
                                      QStringLiteral("Leaf Clean-up"),
                                      QStringLiteral("Plants and Flowers"),
                                      QStringLiteral("Mulching"),
                                      QStringLiteral("Sprinkler Maintenance"),
                                      QStringLiteral("Weed Prevention"),
                                      QStringLiteral("Core Aeration"),
                                      QStringLiteral("Refuse Removal"),
                                      QStringLiteral("Irrigation Systems"),
                                      QStringLiteral("Insect Control"),
                                      QStringLiteral("Sod Replacements/Removals"),
                                      QStringLiteral("Hauling/Removal"),
                                      QStringLiteral("Water Ponds")};
    return items;
}

const QStringList& sampleScheduledServices()
{
    static const QStringList items = {
        QStringLiteral("Weekly Lawn Cutting"), QStringLiteral("Bi-Weekly Weeding and Cutting"),
        QStringLiteral("Bi-Monthly Planting"), QStringLiteral("Pruning")};
    return items;
}

QString oneLine(const QString& text)
{
    static const QRegularExpression breaks(
        QStringLiteral("[\\r\\n\\v\\f\\x{85}\\x{2028}\\x{2029}]+"));
    if (!text.contains(breaks))
        return text;
    return QString(text).replace(breaks, QStringLiteral(" "));
}

} // namespace FlyerFields
