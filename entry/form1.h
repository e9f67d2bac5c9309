#pragma once

#include "base/windowpointer.h"
#include "generate/templatefilling.h"

#include <QWidget>

#include <array>
#include <memory>

class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenuBar;
class QPushButton;
class FlyerPictureMenu;
class Form2;

// The main window, where the user keeps the flyer data: fourteen fields, the
// two service lists and the buttons that edit them. Its load step runs in the
// constructor, before the window is first shown; closing it stores the lists
// and ends the program.
class Form1 final : public QWidget, private GenerationHost
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(Form1)

public:
    static constexpr int kFieldCount = 14;

    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Field `index` (0..13) of the flyer record.
    QLineEdit* Text1(int index) const;
    // The placeholder token of field `index`, e.g. "[BusinessName]".
    static QString Tag(int index);
    // "Services" and "Scheduled Services".
    QListWidget* List1() const;
    QListWidget* List2() const;
    // The window pointer (default, hourglass, custom hand).
    WindowPointer& MousePointer();
    // Stores both lists. Every normal way of ending the program calls this.
    void StoreLists();

    void PushButton1_Click();
    void PushButton2_Click();
    void PushButton3_Click();
    void PushButton4_Click();
    void PushButton5_Click();
    void PushButton6_Click();
    void PushButton7_Click();

    // The preview window, created on first use; nullptr before.
    Form2* previewWindow() const { return m_preview.get(); }
    // The menu bar above the designed client area, and the picture commands in it.
    QMenuBar* menuBar() const { return m_menuBar; }
    FlyerPictureMenu* pictureMenu() const { return m_pictureMenu; }

protected:
    void closeEvent(QCloseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void Form_Load();
    void Form_QueryUnload();
    void Form_Unload();
    void Text1_Change(int index);
    void Text1_GotFocus(int index);
    void Form_MouseMove();
    void addService(const QString& procedure, QListWidget* list, const QString& title,
                    const QString& prompt);
    void deleteService(const QString& procedure, QListWidget* list);

    // What "Start Creating Template" needs of this window and the preview.
    QString fieldToken(int index) override;
    QString fieldText(int index) override;
    QStringList services() override;
    QStringList scheduledServices() override;
    QString flyerPicture() override;
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

    // Holds every control at its designed place, below the menu bar.
    QWidget* m_client = nullptr;
    QMenuBar* m_menuBar = nullptr;
    FlyerPictureMenu* m_pictureMenu = nullptr;
    std::array<QLineEdit*, kFieldCount> m_fields{};
    std::array<QLabel*, kFieldCount> m_labels{};
    QListWidget* m_list1 = nullptr;
    QListWidget* m_list2 = nullptr;
    std::array<QPushButton*, 7> m_buttons{};
    std::array<QGroupBox*, 4> m_frames{};
    WindowPointer m_pointer;
    // True while "Start Creating Template" runs; a click meanwhile is ignored.
    bool mGenerating = false;
    std::unique_ptr<Form2> m_preview;
};
