#pragma once

#include "base/pointersetting.h"

#include <QCursor>
#include <QHash>
#include <QPointer>
#include <QString>

#include <optional>

class QWidget;

// One window's mouse pointer setting. While it is not the default it shows over
// the whole window, its controls included (an I-beam field shows the hourglass
// too); back at the default every control shows its own pointer again.
class WindowPointer : public PointerSetting
{
public:
    explicit WindowPointer(QWidget* window);

    Setting setting() const { return m_setting; }
    void set(Setting setting);

    // The picture that "custom" shows; without one it shows a pointing hand.
    void setCustomCursor(const QCursor& cursor);
    // Loads the cursor file at `path` as that picture. Throws Failure, with
    // the same words in every window, when it cannot be read as a cursor.
    void loadCustomCursor(const QString& path);
    bool hasCustomCursor() const { return m_customCursor.has_value(); }

    // The rule of every pointer handler: over a push button the custom pointer,
    // over a frame or the bare window the default one; the hourglass stays.
    void moveOverButton();
    void moveOverBackground();

private:
    void apply(const QCursor& cursor);
    void restore();

    QWidget* m_window;
    Setting m_setting = Default;
    std::optional<QCursor> m_customCursor;
    // Controls that had a pointer of their own before the window's took over.
    QHash<QWidget*, QCursor> m_ownCursors;
    bool m_applied = false;
};

// The hourglass for as long as the object lives: the pointer is back at the
// default however the work ends, a failure included.
class BusyPointer
{
public:
    explicit BusyPointer(WindowPointer& pointer) : m_pointer(pointer)
    {
        m_pointer.set(PointerSetting::Hourglass);
    }
    ~BusyPointer() { m_pointer.set(PointerSetting::Default); }
    Q_DISABLE_COPY_MOVE(BusyPointer)

private:
    WindowPointer& m_pointer;
};

// Reads a Windows cursor file (.cur) with its hot spot; nullopt when the file
// cannot be read as one.
std::optional<QCursor> loadCursorFile(const QString& path);
