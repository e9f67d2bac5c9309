#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <QWidget>

class QLabel;

// The sign that "Start Creating Template" is working: a small panel over the
// bottom of the main window, shown once a run has taken about a second (a
// quicker run shows nothing), with a moving bar. It takes no input and
// moves no control; it goes with the object.
class RunProgress final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(RunProgress)

public:
    // The delay before the panel shows.
    static constexpr int kShowAfterMilliseconds = 1000;

    explicit RunProgress(QWidget* window);

private:
    void showPanel();
    void updateText();

    QLabel* m_text = nullptr;
    QTimer m_delay;
    QTimer m_tick;
    QElapsedTimer m_clock;
};
