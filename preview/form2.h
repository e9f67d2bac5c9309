#pragma once

#include "gui/windowpointer.h"

#include <QImage>
#include <QKeySequence>
#include <QList>
#include <QPointer>
#include <QSize>
#include <QString>
#include <QWidget>

#include <functional>

class PictureBox;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QMouseEvent;
class QPushButton;
class QScrollBar;

// The preview window: the captured page, zoomed, scrolled or dragged, saved as
// a Word file, or left with "< Back" for the main window.
class Form2 final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form2)

public:
    // Runs the load step; the window is then hidden until shown with a picture.
    explicit Form2(QWidget* parent = nullptr);
    ~Form2() override;

    // The filled temporary document this preview shows. Belongs to this window
    // from the hand-over: Back and closing delete it.
    QString wordFile() const { return mWordFile; }
    void setWordFile(const QString& path) { mWordFile = path; }

    // The page picture, set before each showing.
    void setPicture(const QImage& picture);
    // Told to the user once, in a message box, after the window next
    // appears: text of the flyer made smaller or not fitting. "" for nothing.
    void setFitNotice(const QString& notice) { m_fitNotice = notice; }
    // The window "< Back" shows again.
    void setMainWindow(QWidget* mainWindow);
    // Stores the main window's lists; run before closing ends the program.
    void setStoreLists(std::function<void()> storeLists);
    // The name print jobs of this document carry: the business name.
    void setJobName(const QString& jobName) { m_jobName = jobName; }

    // Draws the page for the current zoom from the base copy.
    void RedrawImage();
    void SetHScrollbarByPercent(QScrollBar* HScrollbar, qint16 percent);
    void SetVScrollbarByPercent(QScrollBar* VScrollbar, qint16 percent);

    // The zoom state, in twips, for whoever needs to see it (tests among them).
    float zoom() const { return mZoom; }
    QSize baseSize() const { return QSize(mOrigWidth, mOrigHeight); }
    QSize zoomedSize() const { return QSize(mZoomWidth, mZoomHeight); }
    qint16 horizontalStep() const { return mHStep; }
    qint16 verticalStep() const { return mVStep; }
    WindowPointer::Setting pointerSetting() const { return m_pointer.setting(); }
    WindowPointer& pointer() { return m_pointer; }

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    // The menu bar above the client area; menu items run the same handlers
    // as the buttons. Everything the menus hold is built here.
    void createMenus();
    // Picture1 inside Picture2, the frame that clips it.
    void makePage();
    // "Save as PDF...": the office's PDF of the filled document, at a path
    // the user picks, with the same overwrite question as the Word file.
    void saveAsPdf();
    // The desktop's viewer for a saved PDF; a plain message when there is none.
    void openInViewer(const QString& pdf);
    // "Print...": the print dialog, then the office's PDF of the document as
    // one job to the chosen printer.
    void printDocument();
    // Ctrl with the mouse wheel over the page zooms like the buttons.
    bool zoomByWheel(QEvent* event);
    // View > Fit Page and Fit Width: the zoom at which the whole page, or its
    // whole width, shows in the viewport, through the buttons' redraw.
    void createViewCommands(QMenu* view);
    void fitPage();
    void fitWidth();
    // The zoom now shown, as a percentage at the right of the menu bar.
    void showZoom();
    // The wheel without Ctrl, and the keys that move a page, scroll by moving
    // the scroll bars, so that the bars always say where the view is.
    bool scrollByWheel(QEvent* event);
    void scrollBy(QScrollBar* bar, qint16 step, double twips);
    void scrollToEnd(QScrollBar* bar, bool end);

    void Form_Load();
    void Form_Activate();
    void Form_QueryUnload();
    void Form_Unload();
    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton6_Click();
    void PushButton8_Click();
    void StepZoom(qint32 direction);
    void SetZoom(float zoom);
    void SetupScrollbars();
    void HScroll1_Change();
    void VScroll1_Change();
    void picture1_MouseDown(QMouseEvent* event);
    void picture1_MouseMove(QMouseEvent* event);
    void Picture1_MouseUp(QMouseEvent* event);

    // Lengths of the elements as the arithmetic sees them, in twips.
    double surfaceLeft() const;
    double surfaceTop() const;
    double surfaceWidth() const;
    double surfaceHeight() const;
    void moveSurface(double left, double top);

    PictureBox* Picture1 = nullptr;
    QWidget* Picture2 = nullptr;
    QWidget* m_viewportInside = nullptr;
    PictureBox* Zoom_Ori = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QGroupBox* Frame1 = nullptr;
    QPushButton* PushButton1 = nullptr;
    QPushButton* PushButton2 = nullptr;
    QPushButton* PushButton8 = nullptr;
    QPushButton* PushButton6 = nullptr;

    WindowPointer m_pointer{this};
    QPointer<QWidget> m_mainWindow;
    std::function<void()> m_storeLists;
    QString m_fitNotice;
    QMenuBar* m_menuBar = nullptr;
    QWidget* m_client = nullptr;
    QString m_jobName;
    // Wheel movement with Ctrl not yet turned into zoom steps.
    int m_wheelTravel = 0;
    QLabel* m_zoomLabel = nullptr;

    QString mWordFile;
    bool mFirstActivate = false;
    float mZoom = 0;
    // The zoom of the view on the surface; a refused step goes back to it.
    float m_shownZoom = 0;
    qint32 mOrigWidth = 0;
    qint32 mOrigHeight = 0;
    qint32 mZoomWidth = 0;
    qint32 mZoomHeight = 0;
    qint16 mHStep = 0;
    qint16 mVStep = 0;
    float mDownX = 0;
    float mDownY = 0;
};
