// The fake engine's controls for tests, and the file form of its documents.

#include "fakeword.h"

#include "fakewordstate.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace FakeWord {

namespace {
constexpr auto kFormat = "fake-word-document";
} // namespace

QByteArray Content::toBytes() const
{
    QJsonArray shapeArray;
    for (const Shape& shape : shapes) {
        QJsonObject object;
        if (shape.kind == Shape::Picture) {
            object.insert(QStringLiteral("picture"), true);
            if (!shape.pictureFile.isEmpty())
                object.insert(QStringLiteral("file"), shape.pictureFile);
        } else {
            object.insert(QStringLiteral("text"), shape.text);
        }
        if (!shape.place.isNull())
            object.insert(QStringLiteral("place"),
                          QJsonArray{shape.place.left(), shape.place.top(), shape.place.width(),
                                     shape.place.height()});
        if (shape.capacity >= 0)
            object.insert(QStringLiteral("capacity"), double(shape.capacity));
        if (shape.percent != 100)
            object.insert(QStringLiteral("percent"), shape.percent);
        shapeArray.append(object);
    }
    QJsonObject root;
    root.insert(QStringLiteral("format"), QLatin1String(kFormat));
    root.insert(QStringLiteral("body"), QJsonArray::fromStringList(body));
    root.insert(QStringLiteral("headers"), QJsonArray::fromStringList(headers));
    root.insert(QStringLiteral("shapes"), shapeArray);
    return QJsonDocument(root).toJson();
}

std::optional<Content> Content::fromBytes(const QByteArray& bytes)
{
    QJsonParseError error{};
    const QJsonDocument json = QJsonDocument::fromJson(bytes, &error);
    if (error.error != QJsonParseError::NoError || !json.isObject())
        return std::nullopt;
    const QJsonObject root = json.object();
    if (root.value(QStringLiteral("format")).toString() != QLatin1String(kFormat))
        return std::nullopt;
    Content content;
    for (const QJsonValue& value : root.value(QStringLiteral("body")).toArray())
        content.body << value.toString();
    for (const QJsonValue& value : root.value(QStringLiteral("headers")).toArray())
        content.headers << value.toString();
    for (const QJsonValue& value : root.value(QStringLiteral("shapes")).toArray()) {
        const QJsonObject object = value.toObject();
        const QJsonArray place = object.value(QStringLiteral("place")).toArray();
        const QRectF rect = place.size() == 4 ? QRectF(place[0].toDouble(), place[1].toDouble(),
                                                       place[2].toDouble(), place[3].toDouble())
                                              : QRectF();
        if (object.value(QStringLiteral("picture")).toBool())
            content.shapes << Shape{Shape::Picture, QString(), rect,
                                    object.value(QStringLiteral("file")).toString()};
        else {
            Shape box(Shape::TextBox, object.value(QStringLiteral("text")).toString(), rect);
            box.capacity = qsizetype(object.value(QStringLiteral("capacity")).toDouble(-1));
            box.percent = object.value(QStringLiteral("percent")).toInt(100);
            content.shapes << box;
        }
    }
    return content;
}

std::optional<Content> Content::fromFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return fromBytes(file.readAll());
}

QString Content::allText() const
{
    QStringList texts = body + headers;
    for (const Shape& shape : shapes)
        texts << shape.text;
    return texts.join(QLatin1Char('\n'));
}

Engine::Engine() : m_state(std::make_shared<State>()) {}

Engine::~Engine() = default;

QStringList Engine::calls() const
{
    return m_state->log;
}

QStringList Engine::calls(const QStringList& operations) const
{
    QStringList matching;
    for (const QString& line : std::as_const(m_state->log))
        if (operations.contains(State::operationOf(line)))
            matching << line;
    return matching;
}

int Engine::count(const QString& operation) const
{
    return int(calls(QStringList{operation}).size());
}

void Engine::clearCalls()
{
    m_state->log.clear();
}

void Engine::failOn(const QString& operation, int times, int after)
{
    m_state->rules << State::Rule{operation, after, times};
}

void Engine::setSaveWritesNothing(bool value)
{
    m_state->saveWritesNothing = value;
}

void Engine::setExportDiesHalfway(bool value)
{
    m_state->exportDiesHalfway = value;
}

void Engine::setExportCutShort(bool value)
{
    m_state->exportCutShort = value;
}

int Engine::runningApplications() const
{
    return m_state->running;
}

int Engine::openDocuments() const
{
    int open = 0;
    for (const auto& weak : m_state->documentLives)
        if (const auto life = weak.lock(); life && life->alive)
            ++open;
    return open;
}

int Engine::heldObjects() const
{
    int held = 0;
    for (const auto& weak : m_state->handedOut)
        if (!weak.expired())
            ++held;
    return held;
}

QStringList Engine::pictures() const
{
    return m_state->pictures;
}

QString Engine::failureText(const QString& operation)
{
    return QStringLiteral("Fake engine: %1 failed.").arg(operation);
}

Engine::Installed::Installed() : engine(std::make_shared<Engine>())
{
    Word::setEngine(engine);
}

Engine::Installed::~Installed()
{
    Word::setEngine(nullptr);
}

} // namespace FakeWord
