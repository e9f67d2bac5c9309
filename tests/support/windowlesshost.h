#pragma once

#include "generate/templatefilling.h"

#include <QImage>
#include <QString>
#include <QStringList>

// A filling run as the main window starts it, without a window: the order is
// read from the test's own fields and lists (a derived class gives them), and
// what the run made is kept for the test to read, as the preview keeps it.
class WindowlessHost
{
public:
    enum class Page {
        None,    // no page picture: the run ends with the saved document
        Captured // the office's own picture of the page
    };
    explicit WindowlessHost(Page page = Page::None) : m_page(page) {}
    virtual ~WindowlessHost() = default;
    Q_DISABLE_COPY_MOVE(WindowlessHost)

    // The test's field `index`: the token it fills and its text. A test may
    // number its fields in another order than the window does.
    virtual QString fieldToken(int index);
    virtual QString fieldText(int index) = 0;
    virtual QStringList services() = 0;
    virtual QStringList scheduledServices() = 0;

    // "Start Creating Template" once.
    void makeFlyer();

    FlyerStyle::Style style = FlyerStyle::Style::Earth; // as the Style menu has it
    // The code on the tabs: none when empty.
    QString tearOffCode;

    QString document; // the preview's mWordFile
    QImage picture;   // the preview's Picture1
    QString notice;
    bool shown = false; // the run made a flyer, so the preview would show

private:
    Page m_page;
};
