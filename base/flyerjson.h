#pragma once

#include "base/flyerfields.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <array>

// One flyer's data apart from any window: the fourteen fields by their index
// (Text1(0) to Text1(13)) and both service lists.
struct FlyerRecord
{
    std::array<QString, FlyerFields::kFieldCount> fields;
    QStringList services;
    QStringList scheduledServices;

    bool operator==(const FlyerRecord&) const = default;
};

// The flyer data as other programs exchange it: one JSON object whose keys
// are flyerDataKeys(), each field a string and each list an array of strings.
// The same names head the columns of a batch CSV file.

// The keys in the order a person reads the flyer, the two lists last.
const QStringList& flyerDataKeys();
// The key of the services list and of the scheduled services list.
QString servicesDataKey();
QString scheduledServicesDataKey();
// The field index of a field key, or -1 for any other text.
int fieldOfDataKey(const QString& key);

// Every key, the empty fields and lists included, so that a file written
// here shows a person every key there is.
QJsonObject flyerDataToJson(const FlyerRecord& record);

// Reads one flyer; a key left out is empty. Throws Failure in plain words
// naming the keys it does not know or a value of the wrong type.
FlyerRecord flyerDataFromJson(const QJsonObject& object);

// Writes `record` as a JSON file at `path`, whole or not at all. Throws
// Failure naming the file and the reason.
void writeFlyerDataFile(const QString& path, const FlyerRecord& record);

// Reads the one flyer of the JSON file at `path` (an object, or an array
// holding one). Throws Failure naming the file and what is wrong with it.
FlyerRecord readFlyerDataFile(const QString& path);
