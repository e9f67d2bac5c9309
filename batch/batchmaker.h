#pragma once

#include "base/flyerjson.h"
#include "batch/flyeroptions.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

// Makes one flyer of the batch tool on the document engine in use, by the
// same template filling as "Start Creating Template", and writes it where
// asked: the Word document as the preview saves it, the PDF as the preview
// exports it.
namespace BatchMaker {

struct Order
{
    QString where; // the input row, as messages name it
    FlyerRecord record;
    FlyerOptions options;
    QString pdf; // the files to write; empty for none
    QString doc;
    bool overwrite = false;

    QJsonObject toJson() const;
    static Order fromJson(const QJsonObject& object);
};

struct Outcome
{
    QStringList made;     // the files written
    QStringList problems; // why the flyer or one of its files was not made
    QStringList notes;    // what the window would have told about the flyer

    QJsonObject toJson() const;
    static Outcome fromJson(const QJsonObject& object);
};

// Why a file of `order` would not be written: it exists and `overwrite` is
// not set. Empty when every file may be written.
QStringList takenTargets(const Order& order);

// Never throws: whatever fails is in the outcome's problems. A file is either
// written whole or not at all; an existing one is replaced only with
// `overwrite`. Installs its own dialogs while it runs.
Outcome make(const Order& order);

} // namespace BatchMaker
