#include "gui/windowpointer.h"

#include "base/failure.h"

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <QtEndian>

WindowPointer::WindowPointer(QWidget* window) : m_window(window) {}

void WindowPointer::set(Setting setting)
{
    m_setting = setting;
    switch (setting) {
    case Default:
        restore();
        break;
    case Hourglass:
        apply(QCursor(Qt::WaitCursor));
        break;
    case Custom:
        apply(m_customCursor.value_or(QCursor(Qt::PointingHandCursor)));
        break;
    }
}

void WindowPointer::setCustomCursor(const QCursor& cursor)
{
    m_customCursor = cursor;
    if (m_setting == Custom)
        apply(cursor);
}

void WindowPointer::loadCustomCursor(const QString& path)
{
    const auto cursor = loadCursorFile(path);
    if (!cursor)
        throw Failure(QStringLiteral("The cursor file %1 cannot be read as a cursor.").arg(path));
    setCustomCursor(*cursor);
}

void WindowPointer::moveOverButton()
{
    if (m_setting != Hourglass)
        set(Custom);
}

void WindowPointer::moveOverBackground()
{
    if (m_setting != Hourglass)
        set(Default);
}

void WindowPointer::apply(const QCursor& cursor)
{
    const auto children = m_window->findChildren<QWidget*>();
    if (!m_applied) {
        m_ownCursors.clear();
        for (QWidget* child : children) {
            if (child->testAttribute(Qt::WA_SetCursor))
                m_ownCursors.insert(child, child->cursor());
        }
        m_applied = true;
    }
    m_window->setCursor(cursor);
    for (QWidget* child : children)
        child->setCursor(cursor);
}

void WindowPointer::restore()
{
    if (!m_applied)
        return;
    m_window->unsetCursor();
    const auto children = m_window->findChildren<QWidget*>();
    for (QWidget* child : children) {
        const auto own = m_ownCursors.constFind(child);
        if (own != m_ownCursors.cend())
            child->setCursor(own.value());
        else
            child->unsetCursor();
    }
    m_ownCursors.clear();
    m_applied = false;
}

std::optional<QCursor> loadCursorFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    QByteArray bytes = file.readAll();
    // Header: reserved, type (2 = cursor), count; then 16-byte entries whose
    // "planes" and "bit count" fields hold the hot spot.
    if (bytes.size() < 22)
        return std::nullopt;
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    if (qFromLittleEndian<quint16>(data) != 0 || qFromLittleEndian<quint16>(data + 2) != 2 ||
        qFromLittleEndian<quint16>(data + 4) == 0)
        return std::nullopt;
    const int hotX = qFromLittleEndian<quint16>(data + 6 + 4);
    const int hotY = qFromLittleEndian<quint16>(data + 6 + 6);
    // The image data are those of an icon file; read it as one.
    bytes[2] = 1;
    QImage image;
    if (!image.loadFromData(bytes, "ICO") || image.isNull())
        return std::nullopt;
    return QCursor(QPixmap::fromImage(image), hotX, hotY);
}
