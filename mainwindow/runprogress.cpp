#include "mainwindow/runprogress.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>

RunProgress::RunProgress(QWidget* window) : QWidget(window)
{
    setObjectName(QStringLiteral("runProgress"));
    // Clicks fall through to the window, which holds them during the run.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(true);
    auto* layout = new QHBoxLayout(this);
    m_text = new QLabel(this);
    m_text->setObjectName(QStringLiteral("runProgressText"));
    auto* bar = new QProgressBar(this);
    bar->setObjectName(QStringLiteral("runProgressBar"));
    // No share of the work is known: the bar only moves.
    bar->setRange(0, 0);
    bar->setTextVisible(false);
    bar->setFixedWidth(120);
    layout->addWidget(m_text);
    layout->addWidget(bar);
    hide();
    m_clock.start();
    m_delay.setSingleShot(true);
    connect(&m_delay, &QTimer::timeout, this, &RunProgress::showPanel);
    m_delay.start(kShowAfterMilliseconds);
    connect(&m_tick, &QTimer::timeout, this, &RunProgress::updateText);
}

void RunProgress::showPanel()
{
    // The time the user spends reading a box of the run is not work.
    if (QApplication::activeModalWidget()) {
        m_clock.restart();
        m_delay.start(kShowAfterMilliseconds);
        return;
    }
    updateText();
    adjustSize();
    const QWidget* window = parentWidget();
    resize(std::max(width(), 320), height());
    move((window->width() - width()) / 2, window->height() - height() - 8);
    raise();
    show();
    m_tick.start(1000);
}

void RunProgress::updateText()
{
    m_text->setText(tr("Creating the flyer... %1 s").arg(m_clock.elapsed() / 1000));
}
