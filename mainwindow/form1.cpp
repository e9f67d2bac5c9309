#include "mainwindow/form1.h"

#include "base/appinfo.h"
#include "base/dialogs.h"
#include "base/errorreport.h"
#include "base/failure.h"
#include "base/flyerfields.h"
#include "base/mainmodule.h"
#include "base/settings.h"
#include "base/shutdown.h"
#include "base/twips.h"
#include "generate/isinstalled.h"
#include "generate/tearoffcode.h"
#include "generate/word.h"
#include "gui/windowkit.h"
#include "mainwindow/flyerpicture.h"
#include "mainwindow/flyerpicturemenu.h"
#include "mainwindow/flyerstylemenu.h"
#include "mainwindow/runprogress.h"
#include "mainwindow/servicelists.h"
#include "preview/form2.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGroupBox>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>
#include <QValidator>

#include <algorithm>
#include <functional>
#include <limits>
#include <utility>

// Where a field and its caption stand inside their frame, in twips. Every
// field is 375 high and every caption 225 high, 45 below its row's top.
struct Form1::FieldPlace
{
    int index;
    int rowTop;
    int labelLeft;
    int labelWidth;
    int fieldLeft;
    int fieldWidth;
};

namespace {

using FieldPlace = Form1::FieldPlace;

constexpr FieldPlace kFlyerDataPlaces[] = {
    {0, 300, 240, 1380, 1800, 5775},  {7, 750, 240, 765, 1800, 5775},
    {6, 1200, 240, 1155, 1800, 5775}, {2, 1650, 240, 405, 1800, 5775},
    {5, 2100, 240, 765, 1800, 5775},  {1, 2550, 240, 360, 1800, 2535},
    {8, 2550, 4560, 495, 5160, 495},  {9, 2550, 5760, 780, 6600, 975},
    {3, 3000, 240, 900, 1800, 2535},  {4, 3000, 4440, 660, 5160, 2415},
};

constexpr FieldPlace kFlyerDetailsPlaces[] = {
    {10, 300, 240, 540, 1200, 6375},
    {11, 750, 240, 765, 1200, 6375},
    {13, 1200, 240, 900, 1200, 2775},
    {12, 1200, 4200, 510, 4800, 2775},
};

constexpr int kFieldHeight = 375;
constexpr int kLabelHeight = 225;
constexpr int kLabelDrop = 45;

// The fields' tab order: it follows the designer's order, not the rows.
constexpr int kFlyerDataTabOrder[] = {0, 7, 6, 2, 1, 8, 9, 3, 4, 5};
constexpr int kFlyerDetailsTabOrder[] = {10, 11, 12, 13};

// True when the focus comes from another control of the window. Coming back
// to the window, or from a context menu, the field keeps the caret and the
// selection the user left: selecting all there would let the next key wipe
// the field.
bool focusFromAnotherControl(Qt::FocusReason reason)
{
    return reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason &&
           reason != Qt::MenuBarFocusReason;
}

// Keeps a field on one line however the text arrives (typed, pasted, dropped,
// set): the line edit applies the corrected text itself, undo included.
class OneLineValidator final : public QValidator
{
public:
    using QValidator::QValidator;
    State validate(QString& input, int& position) const override
    {
        const QString corrected = FlyerFields::oneLine(input);
        if (corrected != input) {
            position =
                int(std::min(FlyerFields::oneLine(input.left(position)).size(), corrected.size()));
            input = corrected;
        }
        return Acceptable;
    }
};

// A flyer field. Selecting the whole text on focus is undone by QLineEdit
// itself when a click brought the focus (the click places the caret), so the
// click that focuses a field is kept from the line edit.
class FieldEdit final : public QLineEdit
{
public:
    FieldEdit(QWidget* parent, std::function<void()> gotFocus)
        : QLineEdit(parent), m_gotFocus(std::move(gotFocus))
    {
        // A field has no length limit (QLineEdit would stop at 32,767).
        setMaxLength(std::numeric_limits<int>::max());
        setValidator(new OneLineValidator(this));
    }

protected:
    void focusInEvent(QFocusEvent* event) override
    {
        QLineEdit::focusInEvent(event);
        const bool selectAll = focusFromAnotherControl(event->reason());
        if (selectAll)
            m_gotFocus();
        m_keepClick = selectAll && event->reason() == Qt::MouseFocusReason;
    }

    void focusOutEvent(QFocusEvent* event) override
    {
        m_keepClick = m_keepRelease = false;
        QLineEdit::focusOutEvent(event);
    }

    void mousePressEvent(QMouseEvent* event) override
    {
        if (m_keepClick && event->button() == Qt::LeftButton) {
            m_keepClick = false;
            m_keepRelease = true;
            event->accept();
            return;
        }
        m_keepClick = false;
        QLineEdit::mousePressEvent(event);
    }

    void mouseReleaseEvent(QMouseEvent* event) override
    {
        if (m_keepRelease) {
            m_keepRelease = false;
            event->accept();
            return;
        }
        QLineEdit::mouseReleaseEvent(event);
    }

private:
    std::function<void()> m_gotFocus;
    bool m_keepClick = false;
    bool m_keepRelease = false;
};

// The selected position of a single-selection list, -1 for none.
int selectedRow(const QListWidget* list)
{
    const QModelIndexList selected = list->selectionModel()->selectedIndexes();
    return selected.isEmpty() ? -1 : selected.first().row();
}

// Writes one value as the user changes it. A store that cannot be written is
// told once, not at every keystroke; the value is written with the next
// write that succeeds.
void writeNow(const QString& key, const QString& value)
{
    try {
        WriteSetting(key, value);
    } catch (const Failure& failure) {
        SettingsStore::reportWriteFailureOnce(failure.description());
    }
}

// A list as the store keeps it: each item followed by ";".
QString storedListText(const QListWidget* list)
{
    QString text;
    for (int i = 0; i < list->count(); ++i)
        text += list->item(i)->text() + QLatin1Char(';');
    return text;
}

// The statement numbers the error report shows for one list's restoring and
// storing, written out so that a reported number can be found by search.
struct RestoreLines
{
    int read, test, split, testPiece, add;
};
constexpr RestoreLines kRestoreList1{134, 136, 138, 142, 144};
constexpr RestoreLines kRestoreList2{148, 150, 152, 156, 158};

struct StoreLines
{
    int clear, append, write;
};
constexpr StoreLines kStoreList1{100, 104, 108};
constexpr StoreLines kStoreList2{110, 114, 118};

// Restores one list from its key: read, test, split, and append each
// non-empty piece.
void restoreList(Guard& guard, const RestoreLines& lines, const QString& key, QListWidget* list)
{
    const QString stored = guard.value(lines.read, QString(), [&] { return ReadSetting(key); });
    if (guard.test(lines.test, [&] { return !stored.isEmpty(); })) {
        const QStringList pieces =
            guard.value(lines.split, QStringList(), [&] { return stored.split(QLatin1Char(';')); });
        for (const QString& piece : pieces) {
            if (guard.test(lines.testPiece, [&] { return !piece.isEmpty(); }))
                guard(lines.add, [&] { list->addItem(piece); });
        }
    }
}

// Stores one list as its items each followed by ";".
void storeList(Guard& guard, const StoreLines& lines, const QString& key, const QListWidget* list)
{
    QString text;
    guard(lines.clear, [&] { text.clear(); });
    for (int i = 0; i < list->count(); ++i)
        guard(lines.append, [&] { text += list->item(i)->text() + QLatin1Char(';'); });
    guard(lines.write, [&] { WriteSetting(key, text); });
}

// A service list inside its frame; its clicks stay with it.
QListWidget* makeList(QGroupBox* frame, const char* name)
{
    auto* list = new QListWidget(frame);
    list->setObjectName(QString::fromLatin1(name));
    list->setGeometry(twipsRect(240, 300, 3375, 1410));
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setAttribute(Qt::WA_NoMousePropagation);
    list->viewport()->setAttribute(Qt::WA_NoMousePropagation);
    return list;
}
} // namespace

Form1::Form1(QWidget* parent) : QWidget(parent), m_pointer(this)
{
    buildWindow();
    createMenus();
    Form_Load();
    // Field 0 has the focus when the window opens, its text selected.
    m_fields[0]->setFocus(Qt::OtherFocusReason);
    Text1_GotFocus(0);
}

Form1::~Form1() = default;

void Form1::buildWindow()
{
    setObjectName(QStringLiteral("Form1"));
    WindowKit::makeFixedWindow(this, QSize(pixelsFromTwips(8040), pixelsFromTwips(9165)));
    setFont(WindowKit::arialBold(9));
    setMouseTracking(true);

    makeButton(6, this, "Start Creating Template", twipsRect(120, 120, 7800, 405));
    makeButton(3, this, "Clear/Reset Data", twipsRect(120, 630, 3840, 405));
    makeButton(4, this, "Load Sample/Example Data", twipsRect(4080, 630, 3840, 405));

    QGroupBox* flyerData =
        makeFrame(1, QStringLiteral("Flyer Data"), twipsRect(120, 1140, 7800, 3615));
    placeFields(flyerData, kFlyerDataPlaces);

    QGroupBox* services =
        makeFrame(2, FlyerFields::servicesCaption(), twipsRect(120, 4830, 3840, 2385));
    m_list1 = makeList(services, "List1");
    makeButton(1, services, "Add", twipsRect(240, 1800, 1680, 405));
    makeButton(2, services, "Delete", twipsRect(2040, 1800, 1560, 405));

    QGroupBox* scheduled =
        makeFrame(3, FlyerFields::scheduledServicesCaption(), twipsRect(4080, 4830, 3840, 2385));
    m_list2 = makeList(scheduled, "List2");
    makeButton(5, scheduled, "Add", twipsRect(240, 1800, 1680, 405));
    makeButton(7, scheduled, "Delete", twipsRect(2040, 1800, 1680, 405));

    QGroupBox* details =
        makeFrame(4, QStringLiteral("Flyer Details"), twipsRect(120, 7290, 7800, 1755));
    placeFields(details, kFlyerDetailsPlaces);

    connectControls();
    // Opens centred on the screen.
    WindowKit::centreOnScreen(this);
}

QPushButton* Form1::makeButton(int number, QWidget* parent, const char* caption, QRect twips)
{
    QPushButton* button =
        WindowKit::makeButton(parent, QStringLiteral("PushButton") + QString::number(number),
                              QString::fromLatin1(caption), twips);
    QPalette palette = button->palette();
    palette.setColor(QPalette::Button, Qt::white);
    button->setPalette(palette);
    // Its moves must not reach the frame below, whose rule is the opposite.
    button->setAttribute(Qt::WA_NoMousePropagation);
    button->installEventFilter(this);
    m_buttons[number - 1] = button;
    return button;
}

QGroupBox* Form1::makeFrame(int number, const QString& caption, QRect twips)
{
    auto* frame = new QGroupBox(caption, this);
    frame->setObjectName(QStringLiteral("Frame") + QString::number(number));
    frame->setGeometry(twips);
    WindowKit::paintBackground(frame, Qt::white);
    frame->setMouseTracking(true);
    frame->installEventFilter(this);
    m_frames[number - 1] = frame;
    return frame;
}

void Form1::placeFields(QGroupBox* frame, std::span<const FieldPlace> places)
{
    for (const FieldPlace& place : places) {
        const int i = place.index;
        auto* label = new QLabel(FlyerFields::caption(i), frame);
        label->setObjectName(QStringLiteral("Label2_") + QString::number(i));
        QRect labelRect =
            twipsRect(place.labelLeft, place.rowTop + kLabelDrop, place.labelWidth, kLabelHeight);
        // The designed widths fit the designer's font renderer to the
        // pixel; where this one needs a few pixels more, the caption takes
        // them from the gap before its field rather than losing its colon.
        const int room = pixelsFromTwips(place.fieldLeft) - labelRect.left();
        labelRect.setWidth(std::max(labelRect.width(), std::min(label->sizeHint().width(), room)));
        label->setGeometry(labelRect);
        WindowKit::paintBackground(label, Qt::white);
        label->setAttribute(Qt::WA_NoMousePropagation);

        auto* field = new FieldEdit(frame, [this, i] { Text1_GotFocus(i); });
        field->setObjectName(QStringLiteral("Text1_") + QString::number(i));
        field->setGeometry(
            twipsRect(place.fieldLeft, place.rowTop, place.fieldWidth, kFieldHeight));
        field->setAttribute(Qt::WA_NoMousePropagation);
        connect(field, &QLineEdit::textChanged, this, [this, i] { Text1_Change(i); });
        m_fields[i] = field;
    }
}

void Form1::connectControls()
{
    QList<QWidget*> order;
    for (int i : kFlyerDataTabOrder)
        order << m_fields[i];
    order << m_buttons[6 - 1] << m_list1 << m_list2;
    for (int i : kFlyerDetailsTabOrder)
        order << m_fields[i];
    order << m_buttons[3 - 1] << m_buttons[4 - 1] << m_buttons[1 - 1] << m_buttons[2 - 1]
          << m_buttons[5 - 1] << m_buttons[7 - 1];
    for (qsizetype i = 0; i + 1 < order.size(); ++i)
        setTabOrder(order.at(i), order.at(i + 1));

    connect(m_buttons[1 - 1], &QPushButton::clicked, this, [this] { PushButton1_Click(); });
    connect(m_buttons[2 - 1], &QPushButton::clicked, this, [this] { PushButton2_Click(); });
    connect(m_buttons[3 - 1], &QPushButton::clicked, this, [this] { PushButton3_Click(); });
    connect(m_buttons[4 - 1], &QPushButton::clicked, this, [this] { PushButton4_Click(); });
    connect(m_buttons[5 - 1], &QPushButton::clicked, this, [this] { PushButton5_Click(); });
    connect(m_buttons[6 - 1], &QPushButton::clicked, this, [this] { PushButton6_Click(); });
    connect(m_buttons[7 - 1], &QPushButton::clicked, this, [this] { PushButton7_Click(); });
    // The Delete key in a list does what the list's "Delete" button does.
    for (const auto& [list, button] : {std::pair{m_list1, 2}, std::pair{m_list2, 7}}) {
        auto* key = new QShortcut(QKeySequence::Delete, list);
        key->setContext(Qt::WidgetShortcut);
        connect(key, &QShortcut::activated, m_buttons[button - 1], &QPushButton::click);
    }
}

QLineEdit* Form1::Text1(int index) const
{
    return m_fields.at(static_cast<std::size_t>(index));
}

QListWidget* Form1::List1() const
{
    return m_list1;
}

QListWidget* Form1::List2() const
{
    return m_list2;
}

WindowPointer& Form1::mousePointer()
{
    return m_pointer;
}

void Form1::Form_Load()
{
    Guard guard{Procedure::Form1_Form_Load};
    guard(100, [&] { ApplySkin(this); });
    guard(104, [&] { setWindowTitle(QString::fromLatin1(kDisplayName)); });
    guard(104, [&] { setWindowIcon(programIcon()); });
    guard(104, [&] { setApplicationTitle(shortenedTitle(QString::fromLatin1(kDisplayName))); });

    const QString handCursor = WindowKit::handCursorFile();
    if (guard.test(122, [&] { return Main::FileExists(handCursor); }))
        guard(124, [&] { m_pointer.loadCustomCursor(handCursor); });

    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        guard(130, [&] { m_fields[i]->setText(ReadSetting(FlyerFields::fieldKey(i))); });

    restoreList(guard, kRestoreList1, FlyerFields::servicesKey(), m_list1);
    restoreList(guard, kRestoreList2, FlyerFields::scheduledServicesKey(), m_list2);

    // An office that never answers would keep the window away for the whole
    // start limit: a start still going on is checked behind the window.
    if (IsInstalled::startPending())
        m_officeCheckPending = true;
    else
        guard(162, [&] { IsInstalled::CheckWordInstalled(); });
}

void Form1::checkOfficeBehindWindow()
{
    if (!std::exchange(m_officeCheckPending, false))
        return;
    m_officeStarting = true;
    {
        const Word::EventsDuringCalls typing(Word::EventsDuringCalls::Input::Allowed);
        Guard guard{Procedure::Form1_Form_Load};
        guard(162, [&] { IsInstalled::CheckWordInstalled(); });
    }
    m_officeStarting = false;
    const bool run = m_startProgress != nullptr;
    m_startProgress.reset();
    if (run && !Shutdown::requested())
        PushButton6_Click();
}

void Form1::runOnceOfficeStarted()
{
    if (!m_startProgress)
        m_startProgress = std::make_unique<RunProgress>(this);
}

void Form1::storeLists()
{
    Guard guard{Procedure::Form1_Form_QueryUnload};
    storeList(guard, kStoreList1, FlyerFields::servicesKey(), m_list1);
    storeList(guard, kStoreList2, FlyerFields::scheduledServicesKey(), m_list2);
}

void Form1::Form_QueryUnload()
{
    storeLists();
    offerUnsavedData();
}

void Form1::Form_Unload()
{
    // Any other window still loaded (the hidden preview) goes without its own
    // closing steps.
    const auto windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window != this && window->isVisible())
            window->hide();
    }
    Shutdown::endProgram(0);
}

void Form1::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // Once the window is up, the engine works through the template while the
    // user reads and types, so that the first flyer is as quick as the rest.
    if (!m_engineWarmed) {
        m_engineWarmed = true;
        QTimer::singleShot(0, this, [this] {
            checkOfficeBehindWindow();
            if (!Shutdown::requested())
                TemplateFilling::warmUpEngine();
        });
    }
}

void Form1::closeEvent(QCloseEvent* event)
{
    Form_QueryUnload();
    event->accept();
    // The office's start would otherwise hold the program for its whole limit.
    if (m_officeStarting)
        Word::engine().abandon();
    Form_Unload();
}

void Form1::Text1_Change(int index)
{
    writeNow(FlyerFields::fieldKey(index), m_fields[index]->text());
}

void Form1::storeListNow(const QListWidget* list)
{
    // The lists' object names are their keys.
    writeNow(list->objectName(), storedListText(list));
}

void Form1::Text1_GotFocus(int index)
{
    QLineEdit* field = m_fields[index];
    field->setSelection(0, static_cast<int>(field->text().size()));
}

void Form1::Form_MouseMove()
{
    m_pointer.moveOverBackground();
}

void Form1::mouseMoveEvent(QMouseEvent* event)
{
    Form_MouseMove();
    QWidget::mouseMoveEvent(event);
}

bool Form1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseMove) {
        for (QPushButton* button : m_buttons) {
            if (watched == button) {
                m_pointer.moveOverButton();
                return false;
            }
        }
        for (QGroupBox* frame : m_frames) {
            if (watched == frame) {
                m_pointer.moveOverBackground();
                return false;
            }
        }
    }
    return QWidget::eventFilter(watched, event);
}

void Form1::addService(Procedure procedure, QListWidget* list, const QString& title,
                       const QString& prompt)
{
    Guard guard{procedure};
    const QString answer =
        guard.value(100, QString(), [&] { return Dialogs::current().input(title, prompt); });
    if (guard.test(102, [&] { return isBlankAnswer(answer); }))
        return;
    const QStringList items = itemsFromAnswer(answer);
    if (items.isEmpty())
        return;
    if (guard(104, [&] { list->addItems(items); })) {
        // The new service is what the user looks for next, even in a long
        // list: brought into view, and the keyboard's place, but not selected,
        // so that "Delete" still means the item the user chose.
        QListWidgetItem* added = list->item(list->count() - 1);
        list->setCurrentItem(added, QItemSelectionModel::NoUpdate);
        list->scrollToItem(added);
        storeListNow(list);
    }
}

void Form1::deleteService(Procedure procedure, QListWidget* list)
{
    Guard guard{procedure};
    const int selected = guard.value(100, -1, [&] { return selectedRow(list); });
    if (selected == -1)
        return;
    guard(102, [&] {
        delete list->takeItem(selected);
        // No item is selected after a deletion, so "Delete" again does nothing.
        list->clearSelection();
    });
    storeListNow(list);
}

void Form1::PushButton1_Click()
{
    addService(Procedure::Form1_PushButton1_Click, m_list1, QStringLiteral("Input Service"),
               QStringLiteral("Enter Service: "));
}

void Form1::PushButton2_Click()
{
    deleteService(Procedure::Form1_PushButton2_Click, m_list1);
}

void Form1::PushButton5_Click()
{
    addService(Procedure::Form1_PushButton5_Click, m_list2,
               QStringLiteral("Input Scheduled Service"),
               QStringLiteral("Enter Scheduled Service: "));
}

void Form1::PushButton7_Click()
{
    deleteService(Procedure::Form1_PushButton7_Click, m_list2);
}

void Form1::PushButton3_Click()
{
    rememberForUndo(true);
    Guard guard{Procedure::Form1_PushButton3_Click};
    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        guard(102, [&] { m_fields[i]->setText(QString()); });
    const bool hadServices = m_list1->count() > 0;
    const bool hadScheduled = m_list2->count() > 0;
    guard(106, [&] { m_list1->clear(); });
    guard(108, [&] { m_list2->clear(); });
    if (hadServices)
        storeListNow(m_list1);
    if (hadScheduled)
        storeListNow(m_list2);
    // The flyer's own picture goes too; the sample data keeps it.
    guard(110, [&] { FlyerPicture::useStandard(); });
    m_pictureMenu->refresh();
    // Back to the designed look; an empty window's reset writes nothing.
    if (FlyerStyle::current() != FlyerStyle::Style::Earth)
        guard(112, [&] { FlyerStyle::store(FlyerStyle::Style::Earth); });
    m_styleMenu->refresh();
    // Nothing to undo writes nothing (a reset of an empty window leaves the store alone).
    if (!TearOffCode::stored().isEmpty())
        guard(114, [&] { TearOffCode::store(QString()); });
}

void Form1::PushButton4_Click()
{
    rememberForUndo(false);
    Guard guard{Procedure::Form1_PushButton4_Click};
    auto set = [&](int line, int index) {
        guard(line, [&] { m_fields[index]->setText(FlyerFields::sampleText(index)); });
    };
    set(100, 0);
    set(102, 7);
    set(104, 6);
    set(106, 2);
    set(108, 5);
    set(110, 1);
    set(112, 8);
    set(114, 9);
    set(116, 3);
    set(118, 4);
    set(120, 10);
    set(122, 11);
    set(124, 13);
    set(126, 12);
    guard(128, [&] { m_list1->clear(); });
    guard(130, [&] { m_list2->clear(); });
    int line = 132;
    for (const QString& item : FlyerFields::sampleServices()) {
        guard(line, [&] { m_list1->addItem(item); });
        line += 2;
    }
    for (const QString& item : FlyerFields::sampleScheduledServices()) {
        guard(line, [&] { m_list2->addItem(item); });
        line += 2;
    }
    storeListNow(m_list1);
    storeListNow(m_list2);
}
