#pragma once

#include "base/errorreport.h"
#include "base/flyerfields.h"
#include "generate/templatefilling.h"
#include "gui/windowpointer.h"

#include <QImage>
#include <QStringList>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>

class QGroupBox;
class QAction;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QMenuBar;
class QPushButton;
class FlyerPictureMenu;
class Form2;
class RunInput;

// The main window, where the user keeps the flyer data: fourteen fields, the
// two service lists and the buttons that edit them. Its load step runs in the
// constructor, before the window is first shown; closing it stores the lists
// and ends the program.
class Form1 final : public QWidget, private GenerationHost
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)

public:
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
    // The picture commands in the File menu.
    FlyerPictureMenu* pictureMenu() const { return m_pictureMenu; }

    // Edit > Undo: brings back the fields and lists as they were before the
    // last "Clear/Reset Data" or "Load Sample/Example Data", and stores them.
    // One level; nothing happens when there is nothing to undo.
    void undoReplace();
    // File > Export Flyer Data...: the fields and lists as a JSON file.
    void exportFlyerData();
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
    // The menu bar above the client area. Items that other parts of the
    // program add to the main window's menus belong here.
    void createMenus();
    // Keeps the fields and lists for Undo before a button replaces them all.
    void rememberForUndo(bool withPicture);
    void Form_Load();
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

    // What "Start Creating Template" needs of this window and the preview.
    QString fieldToken(int index) override;
    QString fieldText(int index) override;
    QStringList services() override;
    QStringList scheduledServices() override;
    QString flyerPicture() override;
    QString tearOffCode() override;
    bool generating() const override { return mGenerating; }
    void setGenerating(bool generating) override { mGenerating = generating; }
    void setMousePointer(WindowPointer::Setting setting) override;
    void SaveDocAsJPG(const QString& documentPath) override;
    void loadPreviewPicture(const QString& path) override;
    void setPreviewWordFile(const QString& documentPath) override;
    void showPreview() override;
    void setPreviewNotice(const QString& notice) override;
    void hideMainWindow() override;
    Form2& preview();

    std::array<QLineEdit*, FlyerFields::kFieldCount> m_fields{};
    std::array<QLabel*, FlyerFields::kFieldCount> m_labels{};
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
    QAction* m_undoAction = nullptr;
    // What Undo brings back: the fourteen field texts, both lists and, after
    // a reset, the flyer's own picture (a null image: the standard one) and
    // the tabs' code.
    struct FlyerData
    {
        QStringList fields;
        QStringList services;
        QStringList scheduledServices;
        std::optional<QImage> picture;
        std::optional<QString> tearOffCode;
    };
    std::optional<FlyerData> m_undo;
    // Holds the user's input while "Start Creating Template" runs.
    RunInput* m_runInput = nullptr;
    bool m_engineWarmed = false;
};
