#include "mainwindow/flyerpicture.h"

#include "base/atomicwrite.h"
#include "base/failure.h"
#include "base/settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QSvgRenderer>
#include <QXmlStreamReader>
#include <QXmlStreamWriter>

#include <cerrno>
#include <cmath>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FlyerPicture {

namespace {
const auto kCopyName = QStringLiteral("flyer-picture.png");

// An SVG is read whole; a logo is a few hundred kilobytes at most.
constexpr qint64 kLargestSvgBytes = qint64(16) * 1024 * 1024;
// The kept copy is at most the box at 300 dpi, well under a megabyte as PNG.
constexpr qint64 kLargestKeptBytes = qint64(8) * 1024 * 1024;
// A PNG or baseline JPEG is decoded straight to the small size, in little
// memory: what limits it is time, about 2.5 s for this many on a desktop.
constexpr qint64 kPixelBudget = 100'000'000;
// Everything else (GIF, BMP, interlaced PNG, progressive JPEG) is decoded
// whole at up to 8 bytes a pixel: this keeps it under 300 MB.
constexpr qint64 kWholePixelBudget = 32'000'000;
constexpr int kWholeDecodeMegabytes = 300;

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

// True when the JPEG file beginning with `head` is progressive: its decoder
// keeps the whole picture's coefficients however small it draws it.
bool isProgressiveJpeg(const QByteArray& head)
{
    qsizetype at = 2;
    while (at + 4 <= head.size() && quint8(head[at]) == 0xff) {
        const quint8 marker = quint8(head[at + 1]);
        if (marker == 0xff) { // fill byte
            ++at;
            continue;
        }
        if (marker >= 0xc0 && marker <= 0xcf && marker != 0xc4 && marker != 0xc8 && marker != 0xcc)
            return marker == 0xc2 || marker == 0xc6 || marker == 0xca || marker == 0xce;
        at += 2 + (quint8(head[at + 2]) << 8 | quint8(head[at + 3]));
    }
    // Frame header beyond what was read: judged by the worst case.
    return true;
}

// True when the picture can be decoded straight to a smaller size in little memory.
bool decodesScaled(const QByteArray& format, const QByteArray& head)
{
    if (format == "png")
        return head.size() > 28 && head[28] == 0; // not interlaced
    if (format == "jpeg" || format == "jpg")
        return !isProgressiveJpeg(head);
    return false;
}

QImage readRaster(const QString& path, QFile& file)
{
    const QByteArray head = file.peek(qint64(256) * 1024);
    QImageReader reader(&file);
    reader.setDecideFormatFromContent(true);
    reader.setAutoTransform(true);
    if (!reader.canRead() || !rasterFormats().contains(QString::fromLatin1(reader.format())))
        throw Failure(notAPicture(path));
    // The size comes from the header: nothing is decoded before it is known.
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        throw Failure(damaged(path, QStringLiteral("it gives no size")));
    const bool scaled = decodesScaled(reader.format(), head);
    const qint64 budget = scaled ? kPixelBudget : kWholePixelBudget;
    if (qint64(size.width()) * size.height() > budget)
        throw Failure(QStringLiteral("The picture %1 is too large (%2 x %3 pixels): Pellamont "
                                     "takes pictures of this kind up to %4 million pixels. Save "
                                     "it smaller and choose it again.")
                          .arg(QDir::toNativeSeparators(path))
                          .arg(size.width())
                          .arg(size.height())
                          .arg(budget / 1'000'000));
    if (size.width() > largestSize().width() || size.height() > largestSize().height()) {
        if (scaled)
            reader.setScaledSize(fitted(size, largestSize()));
        else if (QImageReader::allocationLimit() < kWholeDecodeMegabytes)
            // Within the budget, so the reader's own lower limit must not
            // turn a valid picture away as unreadable.
            QImageReader::setAllocationLimit(kWholeDecodeMegabytes);
    }
    QImage image = reader.read();
    if (image.isNull())
        throw Failure(damaged(path, reader.errorString()));
    // Turned by its orientation tag, or decoded whole: fit it now.
    if (image.width() > largestSize().width() || image.height() > largestSize().height())
        image = image.scaled(largestSize(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    return image;
}

// Opens `path` for reading when it is a regular file, without waiting on
// anything else (a pipe's writer, a device): a pipe opened for reading
// blocks until someone writes. `followLinks` false refuses a link as well.
// Throws Failure with `notAFile` when it is not a regular file.
void openRegularFile(QFile& file, const QString& path, bool followLinks, const QString& notAFile)
{
    const int flags = O_RDONLY | O_NONBLOCK | O_CLOEXEC | (followLinks ? 0 : O_NOFOLLOW);
    const int descriptor = ::open(QFile::encodeName(path).constData(), flags);
    if (descriptor < 0) {
        const int error = errno;
        if (error == ENOENT)
            throw Failure(QStringLiteral("The picture file %1 cannot be found.")
                              .arg(QDir::toNativeSeparators(path)));
        if (error == ELOOP || error == ENXIO)
            throw Failure(notAFile);
        throw Failure(
            QStringLiteral("The picture file %1 cannot be read: %2")
                .arg(QDir::toNativeSeparators(path), QString::fromLocal8Bit(std::strerror(error))));
    }
    struct stat status
    {
    };
    if (::fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(descriptor);
        throw Failure(notAFile);
    }
    if (!file.open(descriptor, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(descriptor);
        throw Failure(QStringLiteral("The picture file %1 cannot be read: %2")
                          .arg(QDir::toNativeSeparators(path), file.errorString()));
    }
}

// Reads the kept copy, checked as a chosen picture is and more: the program
// wrote it, so it is a plain PNG file no larger than the box.
QImage readKept(const QString& path)
{
    const QString notKept =
        QStringLiteral("%1 is not the picture Pellamont kept").arg(QDir::toNativeSeparators(path));
    QFile file;
    openRegularFile(file, path, false, notKept);
    if (file.size() > kLargestKeptBytes)
        throw Failure(notKept);
    QImageReader reader(&file, "png");
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || size.width() > largestSize().width() ||
        size.height() > largestSize().height())
        throw Failure(notKept);
    QImage image = reader.read();
    if (image.isNull())
        throw Failure(damaged(path, reader.errorString()));
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
    QFile file;
    openRegularFile(file, path, true, notAPicture(path));
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
    // Only a plain file of ours is replaced in place: a link or a pipe put
    // there goes first, so the write never lands on what it points to.
    const QFileInfo existing(copy);
    if ((existing.isSymLink() || (existing.exists() && !existing.isFile())) && !QFile::remove(copy))
        throw cannotKeep(QStringLiteral("%1 is in the way").arg(kCopyName));
    // A full disk or a failed write leaves the previous picture whole.
    try {
        AtomicWrite::write(copy, AtomicWrite::Durability::Durable,
                           [&](QIODevice& file) { return picture.save(&file, "PNG"); });
    } catch (const AtomicWrite::Failed& failed) {
        throw cannotKeep(failed.reason);
    }
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
    if (path.isEmpty())
        return QImage();
    try {
        return readKept(path);
    } catch (const Failure&) {
        return QImage();
    }
}

QString keptProblem()
{
    const QString path = currentPath();
    if (path.isEmpty())
        return QString();
    try {
        readKept(path);
    } catch (const Failure& failure) {
        return QStringLiteral("The flyer's picture cannot be used (%1), so this flyer shows the "
                              "standard picture. Choose your picture again under File, Flyer "
                              "Picture.")
            .arg(failure.description());
    }
    return QString();
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
