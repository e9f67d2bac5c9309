#pragma once

#include "base/errorreport.h"
#include "base/flyerfields.h"
#include "base/flyerjson.h"
#include "generate/templatefilling.h"
#include "gui/windowpointer.h"

#include <QImage>
#include <QRect>
#include <QStringList>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <span>

class QGroupBox;
class QAction;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;
class FlyerPictureMenu;
class FlyerStyleMenu;
class Form2;
class RunInput;
class RunProgress;

// The main window, where the user keeps the flyer data: fourteen fields, the
// two service lists and the buttons that edit them. Its load step runs in the
// constructor, before the window is first shown; closing it stores the lists
// and ends the program.
class Form1 final : public QWidget
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)

public:
    // Where a field and its caption stand (form1.cpp).
    struct FieldPlace;

    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Field `index` (0..13) of the flyer record.
    QLineEdit* Text1(int index) const;
    // "Services" and "Scheduled Services".
    QListWidget* List1() const;
    QListWidget* List2() const;
    // The window pointer (default, hourglass, custom hand).
    WindowPointer& mousePointer();
    // Stores both lists. Every normal way of ending the program calls this.
    void storeLists();
    // At close: when changes could not be stored, says so and where, and
    // offers to save the flyer data to a file before the program ends.
    void offerUnsavedData();
    // Ends the program through the closing steps of the window that is
    // showing (a signal, the session ending). During a run, once it is over.
    void closeShowingWindow();

    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();

    // The preview window, created on first use; nullptr before.
    Form2* previewWindow() const { return m_preview.get(); }
    // The picture commands in the Flyer menu.
    FlyerPictureMenu* pictureMenu() const { return m_pictureMenu; }
    // The Style submenu of the Flyer menu.
    FlyerStyleMenu* styleMenu() const { return m_styleMenu; }

    // Edit > Undo: brings back the fields and lists as they were before the
    // last "Clear/Reset Data" or "Load Sample/Example Data", and stores them.
    // One level; nothing happens when there is nothing to undo. What it
    // replaces (the reset's result and all typed since) goes to Redo.
    void undoReplace();
    // Edit > Redo: brings back what the last Undo replaced, keeping what it
    // replaces for Undo in turn.
    void redoReplace();
    // File > Export Flyer Data...: the fields and lists as a JSON file.
    void exportFlyerData();
    // The fields and lists as shown, for a flyer data file.
    FlyerRecord flyerRecord();
    // File > Import Flyer Data...: replaces the fields and lists with those of
    // a JSON file, as "Load Sample/Example Data" does (Undo brings them back).
    void importFlyerData();
    // Help > About: version, document engine and licence.
    void showAbout();
    // Flyer > Tear-off QR Code...: the dialog that chooses the tabs' code.
    void chooseTearOffCode();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    // The parts buildWindow puts together: a button or frame numbered as its
    // object name says, one frame's captions and fields, then the tab order
    // and the buttons' handlers.
    QPushButton* makeButton(int number, QWidget* parent, const char* caption, QRect twips);
    QGroupBox* makeFrame(int number, const QString& caption, QRect twips);
    void placeFields(QGroupBox* frame, std::span<const FieldPlace> places);
    void connectControls();
    // The menu bar above the client area. Items that other parts of the
    // program add to the main window's menus belong here.
    void createMenus();
    // Keeps the fields and lists for Undo before a button replaces them all.
    void rememberForUndo(bool withPicture);
    void Form_Load();
    // The office check of the load step, when the office was still starting
    // then: done once the window shows, the user typing meanwhile. A flyer
    // asked for meanwhile waits for it with the progress panel.
    void checkOfficeBehindWindow();
    void runOnceOfficeStarted();
    void Form_QueryUnload();
    void Form_Unload();
    void Text1_Change(int index);
    void Text1_GotFocus(int index);
    void Form_MouseMove();
    void addService(Procedure procedure, QListWidget* list, const QString& title,
                    const QString& prompt);
    void deleteService(Procedure procedure, QListWidget* list);
    // Every change of a list reaches the store at once, as a field's does.
    void storeListNow(const QListWidget* list);

    // What "Start Creating Template" reads of this window, and the preview
    // taking over with what it made (statements 244 to 248).
    FlyerOrder flyerOrder();
    // The items of List1 and List2, in order.
    QStringList services() const;
    QStringList scheduledServices() const;
    void handOver(Guard& guard, const FilledFlyer& flyer);
    Form2& preview();

    std::array<QLineEdit*, FlyerFields::kFieldCount> m_fields{};
    QListWidget* m_list1 = nullptr;
    QListWidget* m_list2 = nullptr;
    std::array<QPushButton*, 7> m_buttons{};
    std::array<QGroupBox*, 4> m_frames{};
    WindowPointer m_pointer;
    // True while "Start Creating Template" runs; a click meanwhile is ignored.
    bool mGenerating = false;
    std::unique_ptr<Form2> m_preview;
    QMenuBar* m_menuBar = nullptr;
    QMenu* m_fileMenu = nullptr;
    FlyerPictureMenu* m_pictureMenu = nullptr;
    FlyerStyleMenu* m_styleMenu = nullptr;
    QAction* m_undoAction = nullptr;
    QAction* m_redoAction = nullptr;
    // What Undo and Redo bring back: the fourteen field texts, both lists,
    // the style and, around a reset, the flyer's own picture (a null image:
    // the standard one) and the tabs' code.
    struct FlyerData
    {
        QStringList fields;
        QStringList services;
        QStringList scheduledServices;
        std::optional<QImage> picture;
        FlyerStyle::Style style = FlyerStyle::Style::Earth;
        std::optional<QString> tearOffCode;
    };
    FlyerData flyerData(bool withPicture);
    // Puts `from` in place of the flyer data shown, which goes to `keepIn`.
    void swapIn(std::optional<FlyerData>& from, std::optional<FlyerData>& keepIn);
    std::optional<FlyerData> m_undo;
    std::optional<FlyerData> m_redo;
    // Why this run's flyer shows the standard picture instead of the kept
    // one, for the preview to say; empty when nothing went wrong.
    QString m_pictureNotice;
    // Holds the user's input while "Start Creating Template" runs.
    RunInput* m_runInput = nullptr;
    bool m_engineWarmed = false;
    bool m_officeCheckPending = false;
    bool m_officeStarting = false;
    // "Start Creating Template" clicked while the office was starting.
    std::unique_ptr<RunProgress> m_startProgress;
};
