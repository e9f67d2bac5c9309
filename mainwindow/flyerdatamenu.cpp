#include "mainwindow/form1.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/failure.h"
#include "base/flyerjson.h"
#include "base/mainmodule.h"
#include "preview/savecopy.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>

// File > Export Flyer Data... and Import Flyer Data...: one flyer as the JSON
// file pellamont-batch reads.

namespace {
const QString kFilter = QStringLiteral("Flyer Data (*.json)|*.json");
} // namespace

FlyerRecord Form1::flyerRecord()
{
    FlyerRecord record;
    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        record.fields.at(std::size_t(i)) = m_fields.at(std::size_t(i))->text();
    record.services = services();
    record.scheduledServices = scheduledServices();
    return record;
}

void Form1::exportFlyerData()
{
    QString target = Dialogs::current().saveFile(QStringLiteral("Export Flyer Data"), kFilter);
    if (target.isEmpty())
        return;
    if (QFileInfo(target).suffix().isEmpty())
        target += QStringLiteral(".json");
    if (QFileInfo(target).isDir()) {
        Dialogs::current().error(
            applicationTitle(),
            QStringLiteral("%1 is a folder. Choose a file name for the flyer data.").arg(target));
        return;
    }
    if (Main::FileExists(target) &&
        Dialogs::current().question(applicationTitle(), overwriteQuestion(target)) !=
            Dialogs::Answer::Yes)
        return;
    try {
        writeFlyerDataFile(target, flyerRecord());
    } catch (const Failure& failure) {
        Dialogs::current().error(applicationTitle(), failure.description());
        return;
    }
    Dialogs::current().message(applicationTitle(), QStringLiteral("Done."));
}

void Form1::importFlyerData()
{
    const QString source =
        Dialogs::current().openFile(QStringLiteral("Import Flyer Data"), kFilter);
    if (source.isEmpty())
        return;
    FlyerRecord record;
    try {
        record = readFlyerDataFile(source);
    } catch (const Failure& failure) {
        Dialogs::current().error(applicationTitle(),
                                 failure.description() +
                                     QStringLiteral("\n\nThe flyer data was not changed."));
        return;
    }
    // As "Load Sample/Example Data" does: everything replaced, Undo brings it back.
    rememberForUndo(false);
    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        m_fields.at(std::size_t(i))->setText(record.fields.at(std::size_t(i)));
    m_list1->clear();
    m_list1->addItems(record.services);
    m_list2->clear();
    m_list2->addItems(record.scheduledServices);
    storeLists();
}
