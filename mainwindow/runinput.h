#pragma once

#include <QList>
#include <QObject>

#include <functional>

class QWidget;

// Holds the user's input away from the program's windows while "Start
// Creating Template" runs. The run lets pending events through at a few
// points (writing the template) and the rest wait until it returns, so a
// click, a key or a close given during the run would otherwise act after it,
// on data and files the run has just changed. For its lifetime this filter
// drops input aimed at the windows and keeps a close request for the end of
// the run. Dialogs the run shows (error reports) are other windows and get
// their input as usual.
class RunInput final : public QObject
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunInput)

public:
    // `windows` names the windows whose input waits, asked afresh for every
    // event (the preview may be created by the run itself).
    explicit RunInput(std::function<QList<QWidget*>()> windows);
    ~RunInput() override;

    // Delivers, and so drops, everything given up to now, including what the
    // window system has not yet handed over. Call when the run is over.
    void drain();

    // A close request came during the run (a window's close, or a signal).
    bool closeRequested() const { return m_closeRequested; }
    void requestClose() { m_closeRequested = true; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool aimedAtWindows(QObject* receiver) const;

    std::function<QList<QWidget*>()> m_windows;
    bool m_closeRequested = false;
};
