#pragma once

#include "base/flyerjson.h"
#include "generate/flyerstyle.h"

#include <QJsonObject>
#include <QString>

// What the window keeps about the look of a flyer beside its data (its own
// picture today), read in one place so that every flyer the batch tool makes
// looks as the window would make it. An option the window gains is added
// here: a member, its settings key in fromSettings(), its JSON name for the
// batch tool's workers, and what BatchMaker's host hands template filling.
struct FlyerOptions
{
    // The kept copy of the flyer's own picture, or empty for the standard one.
    QString picture;
    // The colour style the window makes its flyers in.
    FlyerStyle::Style style = FlyerStyle::Style::Earth;
    // The text of the tear-off tabs' QR code, or empty for none.
    QString tearOffCode;

    static FlyerOptions fromSettings();
    QJsonObject toJson() const;
    static FlyerOptions fromJson(const QJsonObject& object);
};

// The flyer data the window keeps in the settings, as it reads them at its start.
FlyerRecord flyerRecordFromSettings();
