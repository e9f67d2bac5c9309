#include "batch/batchmaker.h"

#include "base/dialogs.h"
#include "base/failure.h"
#include "base/mainmodule.h"
#include "generate/templatefilling.h"
#include "preview/documentoutput.h"
#include "preview/savecopy.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace BatchMaker {

namespace {

// What template filling would show in boxes, kept as plain text instead.
class CollectingDialogs final : public Dialogs
{
public:
    void error(const QString&, const QString& text) override
    {
        // The error report adds where in the program it happened and whom to
        // tell; a batch user needs the reason alone.
        const qsizetype where = text.indexOf(QStringLiteral("\r\nin "));
        problems << (where < 0 ? text : text.left(where));
    }
    void message(const QString&, const QString& text) override { notes << text; }
    Answer question(const QString&, const QString&) override { return Answer::No; }
    QString input(const QString&, const QString&) override { return {}; }
    QString saveFile(const QString&, const QString&, const QString& = QString()) override
    {
        return {};
    }
    std::optional<PrintChoice> print(const QString&) override { return std::nullopt; }

    QStringList problems;
    QStringList notes;
};

// The data of one row, ordered as the window orders its flyer, with no page
// picture: nobody looks at it.
FlyerOrder flyerOrder(const Order& order)
{
    return {order.record, order.options.picture, order.options.style, order.options.tearOffCode,
            false};
}

class DialogsInstalled
{
public:
    explicit DialogsInstalled(Dialogs* dialogs) { Dialogs::install(dialogs); }
    ~DialogsInstalled() { Dialogs::install(nullptr); }
    Q_DISABLE_COPY_MOVE(DialogsInstalled)
};

QString existingText(const QString& target)
{
    return QStringLiteral("%1 already exists and was kept; give --overwrite to replace it.")
        .arg(QDir::toNativeSeparators(target));
}

} // namespace

QJsonObject Order::toJson() const
{
    return {{QStringLiteral("where"), where},
            {QStringLiteral("flyer"), flyerDataToJson(record)},
            {QStringLiteral("options"), options.toJson()},
            {QStringLiteral("pdf"), pdf},
            {QStringLiteral("doc"), doc},
            {QStringLiteral("overwrite"), overwrite}};
}

Order Order::fromJson(const QJsonObject& object)
{
    Order order;
    order.where = object.value(QStringLiteral("where")).toString();
    order.record = flyerDataFromJson(object.value(QStringLiteral("flyer")).toObject());
    order.options = FlyerOptions::fromJson(object.value(QStringLiteral("options")).toObject());
    order.pdf = object.value(QStringLiteral("pdf")).toString();
    order.doc = object.value(QStringLiteral("doc")).toString();
    order.overwrite = object.value(QStringLiteral("overwrite")).toBool();
    return order;
}

QJsonObject Outcome::toJson() const
{
    return {{QStringLiteral("made"), QJsonArray::fromStringList(made)},
            {QStringLiteral("problems"), QJsonArray::fromStringList(problems)},
            {QStringLiteral("notes"), QJsonArray::fromStringList(notes)}};
}

Outcome Outcome::fromJson(const QJsonObject& object)
{
    auto texts = [&](const char* key) {
        QStringList list;
        for (const QJsonValue& value : object.value(QLatin1String(key)).toArray())
            list << value.toString();
        return list;
    };
    return {texts("made"), texts("problems"), texts("notes")};
}

QStringList takenTargets(const Order& order)
{
    QStringList problems;
    for (const QString& target : {order.pdf, order.doc}) {
        if (!target.isEmpty() && !order.overwrite && QFileInfo(target).exists())
            problems << existingText(target);
    }
    return problems;
}

Outcome make(const Order& order)
{
    Outcome outcome;
    // Checked again here: another program may have made one since the run began.
    outcome.problems = takenTargets(order);
    if (!outcome.problems.isEmpty())
        return outcome;

    CollectingDialogs dialogs;
    FilledFlyer flyer;
    {
        const DialogsInstalled installed(&dialogs);
        flyer = TemplateFilling::makeFlyer(flyerOrder(order));
    }
    outcome.problems << dialogs.problems;
    outcome.notes << dialogs.notes;
    if (!flyer.notice.isEmpty())
        outcome.notes << flyer.notice;
    if (flyer.document.isEmpty()) {
        if (dialogs.problems.isEmpty())
            outcome.problems << QStringLiteral("The flyer was not made.");
        return outcome;
    }
    try {
        if (!order.doc.isEmpty()) {
            copyFileSafely(flyer.document, order.doc);
            outcome.made << order.doc;
        }
    } catch (const Failure& failure) {
        outcome.problems << failure.description();
    }
    try {
        if (!order.pdf.isEmpty()) {
            const QString pdf = flyer.document + QStringLiteral(".pdf");
            try {
                DocumentOutput::exportPdf(flyer.document, pdf);
                copyFileSafely(pdf, order.pdf);
            } catch (...) {
                Main::DeleteFileQuietly(pdf);
                throw;
            }
            Main::DeleteFileQuietly(pdf);
            outcome.made << order.pdf;
        }
    } catch (const Failure& failure) {
        outcome.problems << failure.description();
    }
    Main::DeleteFileQuietly(flyer.document);
    return outcome;
}

} // namespace BatchMaker
