#include "mainwindow/flyerpicture.h"

#include "base/failure.h"
#include "base/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSaveFile>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cmath>

namespace FlyerPicture {

namespace {
const auto kCopyName = QStringLiteral("flyer-picture.png");

// An SVG is read whole; a logo is a few hundred kilobytes at most.
constexpr qint64 kLargestSvgBytes = 16 * 1024 * 1024;
// A picture whose format cannot be decoded at a smaller size is decoded
// whole first; beyond this it is refused rather than risk the memory.
constexpr qint64 kLargestDecodeBytes = 256LL * 1024 * 1024;

const QStringList& rasterFormats()
{
    static const QStringList formats = {QStringLiteral("png"), QStringLiteral("jpeg"),
                                        QStringLiteral("jpg"), QStringLiteral("gif"),
                                        QStringLiteral("bmp")};
    return formats;
}

QString notAPicture(const QString& path)
{
    return QStringLiteral("The file %1 is not a picture Pellamont can use. Choose a PNG, "
                          "JPEG, GIF, BMP or SVG picture.")
        .arg(QDir::toNativeSeparators(path));
}

QString damaged(const QString& path, const QString& why)
{
    return QStringLiteral("The picture %1 is damaged and cannot be read (%2).")
        .arg(QDir::toNativeSeparators(path), why);
}

// `size` made to fit `bounds` with its proportions kept, at least one pixel.
QSize fitted(const QSize& size, const QSize& bounds)
{
    const QSize scaled = size.scaled(bounds, Qt::KeepAspectRatio);
    return QSize(std::max(1, scaled.width()), std::max(1, scaled.height()));
}

bool looksLikeSvg(const QByteArray& head)
{
    QByteArray start = head.trimmed();
    if (start.startsWith("\xEF\xBB\xBF"))
        start = start.mid(3).trimmed();
    return start.startsWith('<') && head.contains("<svg");
}

// A reference to anything outside the document itself: another file, a web
// address. Fragment references ("#id") and inline data stay.
bool isExternalReference(const QXmlStreamAttribute& attribute)
{
    const QStringView name = attribute.qualifiedName();
    if (name != u"href" && !name.endsWith(u":href"))
        return false;
    const QString value = attribute.value().trimmed().toString();
    return !value.isEmpty() && !value.startsWith(QLatin1Char('#')) &&
           !value.startsWith(QLatin1String("data:"), Qt::CaseInsensitive);
}

// The SVG document without references to other files (the SVG renderer would
// load any file an <image> names) and without its DTD (entities). Throws
// Failure when the document is not well-formed XML.
QByteArray withoutExternalReferences(const QString& path, const QByteArray& svg)
{
    QXmlStreamReader reader(svg);
    reader.setNamespaceProcessing(false);
    QByteArray cleaned;
    QXmlStreamWriter writer(&cleaned);
    writer.writeStartDocument();
    while (!reader.atEnd()) {
        switch (reader.readNext()) {
        case QXmlStreamReader::StartElement: {
            writer.writeStartElement(reader.qualifiedName().toString());
            const auto attributes = reader.attributes();
            for (const QXmlStreamAttribute& attribute : attributes) {
                if (!isExternalReference(attribute))
                    writer.writeAttribute(attribute.qualifiedName().toString(),
                                          attribute.value().toString());
            }
            break;
        }
        case QXmlStreamReader::EndElement:
            writer.writeEndElement();
            break;
        case QXmlStreamReader::Characters:
            if (reader.isCDATA())
                writer.writeCDATA(reader.text().toString());
            else
                writer.writeCharacters(reader.text().toString());
            break;
        default:
            break;
        }
    }
    if (reader.hasError())
        throw Failure(damaged(path, reader.errorString()));
    writer.writeEndDocument();
    return cleaned;
}

QImage readSvg(const QString& path, QFile& file)
{
    if (file.size() > kLargestSvgBytes)
        throw Failure(QStringLiteral("The picture %1 is too large for a flyer picture.")
                          .arg(QDir::toNativeSeparators(path)));
    QSvgRenderer renderer(withoutExternalReferences(path, file.readAll()));
    if (!renderer.isValid())
        throw Failure(damaged(path, QStringLiteral("not a valid SVG drawing")));
    QSizeF natural = renderer.viewBoxF().size();
    if (natural.isEmpty())
        natural = renderer.defaultSize();
    if (natural.isEmpty())
        natural = largestSize();
    // A drawing has no pixels of its own: it is drawn as large as is worth keeping.
    const QSize size = fitted(natural.toSize().expandedTo(QSize(1, 1)), largestSize());
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    renderer.render(&painter, QRectF(QPointF(0, 0), size));
    painter.end();
    return image;
}

QImage readRaster(const QString& path, QFile& file)
{
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead() || !rasterFormats().contains(QString::fromLatin1(reader.format())))
        throw Failure(notAPicture(path));
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        throw Failure(damaged(path, QStringLiteral("it gives no size")));
    if (size.width() > largestSize().width() || size.height() > largestSize().height()) {
        // Only the JPEG decoder makes the smaller picture while decoding; the
        // others decode the whole picture and scale it afterwards.
        const QByteArray format = reader.format();
        if (format == "jpeg" || format == "jpg") {
            reader.setScaledSize(fitted(size, largestSize()));
        } else if (qint64(size.width()) * size.height() * 4 > kLargestDecodeBytes) {
            throw Failure(QStringLiteral("The picture %1 is too large to use (%2 x %3 pixels). "
                                         "Save it smaller, or as a JPEG, and choose it again.")
                              .arg(QDir::toNativeSeparators(path))
                              .arg(size.width())
                              .arg(size.height()));
        }
    }
    QImage image = reader.read();
    if (image.isNull())
        throw Failure(damaged(path, reader.errorString()));
    // Turned by its orientation tag, or decoded whole: fit it now.
    if (image.width() > largestSize().width() || image.height() > largestSize().height())
        image = image.scaled(largestSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}
} // namespace

QSize largestSize()
{
    return QSize(static_cast<int>(std::lround(kBoxWidthInches * kDotsPerInch)),
                 static_cast<int>(std::lround(kBoxHeightInches * kDotsPerInch)));
}

QString dataFolder()
{
    return QFileInfo(SettingsStore::filePath()).absolutePath() +
           QStringLiteral("/Corvanti/Pellamont");
}

QString currentPath()
{
    const QString name = ReadSetting(QLatin1String(kSettingsKey));
    if (name.isEmpty() || name != QFileInfo(name).fileName() || name.startsWith(QLatin1Char('.')))
        return QString();
    return dataFolder() + QLatin1Char('/') + name;
}

QImage readPicture(const QString& path)
{
    const QString shown = QDir::toNativeSeparators(path);
    const QFileInfo info(path);
    if (!info.exists())
        throw Failure(QStringLiteral("The picture file %1 cannot be found.").arg(shown));
    if (!info.isFile())
        throw Failure(notAPicture(path));
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Failure(QStringLiteral("The picture file %1 cannot be read: %2")
                          .arg(shown, file.errorString()));
    if (file.size() == 0)
        throw Failure(QStringLiteral("The file %1 is empty: it holds no picture.").arg(shown));
    if (looksLikeSvg(file.peek(4096)))
        return readSvg(path, file);
    return readRaster(path, file);
}

namespace {

// Keeps `picture` as the flyer's picture; `source` names it in a message.
void keep(const QImage& picture, const QString& source)
{
    const QString folder = dataFolder();
    const QString copy = folder + QLatin1Char('/') + kCopyName;
    auto cannotKeep = [&](const QString& why) {
        return Failure(QStringLiteral("The picture %1 cannot be kept in %2 (%3). The flyer "
                                      "keeps its previous picture.")
                           .arg(source, QDir::toNativeSeparators(folder), why));
    };
    if (!QDir().mkpath(folder))
        throw cannotKeep(QStringLiteral("the folder cannot be created"));
    // Written aside and renamed over the old copy only when complete, so a
    // full disk or a failed write leaves the previous picture whole.
    QSaveFile file(copy);
    if (!file.open(QIODevice::WriteOnly))
        throw cannotKeep(file.errorString());
    if (!picture.save(&file, "PNG")) {
        file.cancelWriting();
        throw cannotKeep(file.errorString());
    }
    if (!file.commit())
        throw cannotKeep(file.errorString());
    WriteSetting(QLatin1String(kSettingsKey), kCopyName);
}

} // namespace

void choose(const QString& path)
{
    keep(readPicture(path), QDir::toNativeSeparators(path));
}

QImage current()
{
    const QString path = currentPath();
    return path.isEmpty() ? QImage() : QImage(path, "PNG");
}

void restore(const QImage& picture)
{
    if (picture.isNull())
        useStandard();
    else
        keep(picture, QStringLiteral("that was in use before"));
}

void useStandard()
{
    // Nothing to undo writes nothing (a reset of an empty window leaves the store alone).
    if (ReadSetting(QLatin1String(kSettingsKey)).isEmpty())
        return;
    const QString previous = currentPath();
    WriteSetting(QLatin1String(kSettingsKey), QString());
    if (!previous.isEmpty())
        QFile::remove(previous);
}

} // namespace FlyerPicture
