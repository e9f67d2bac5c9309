// The user's input against the main window's own work: clicks, keys and
// close requests given while "Start Creating Template" runs, the focus that
// selects a field's text, and the lists reaching the store however the
// program ends.

#include "base/clipboardpicture.h"
#include "base/errorreport.h"
#include "base/mainmodule.h"
#include "base/settings.h"
#include "base/shutdown.h"
#include "fakeword.h"
#include "generate/templatefilling.h"
#include "mainwindow/form1.h"
#include "preview/form2.h"
#include "windowfixture.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>
#include <memory>

namespace {

// The page picture the fake engine "copies"; it runs `onRead` first, which
// is a moment inside the run when no event is dispatched.
class PagePicture final : public Main::PictureClipboard
{
public:
    std::function<void()> onRead;
    QImage picture(int) override
    {
        if (onRead)
            std::exchange(onRead, nullptr)();
        QImage page(85, 110, QImage::Format_RGB32);
        page.fill(Qt::white);
        return page;
    }
};

void click(QWidget* button, bool now)
{
    const QPointF at(5, 5);
    for (const auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        auto* event = new QMouseEvent(
            type, at, button->mapToGlobal(at), Qt::LeftButton,
            type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        if (now) {
            QApplication::sendEvent(button, event);
            delete event;
        } else {
            QApplication::postEvent(button, event);
        }
    }
}

void type(QWidget* field, bool now)
{
    auto* event = new QKeyEvent(QEvent::KeyPress, Qt::Key_Z, Qt::NoModifier, QStringLiteral("Z"));
    if (now) {
        QApplication::sendEvent(field, event);
        delete event;
    } else {
        QApplication::postEvent(field, event);
    }
}

QStringList itemsOf(const QListWidget* list)
{
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    return items;
}

using Input = std::function<void(Form1&, bool now)>;

} // namespace

Q_DECLARE_METATYPE(Input)

class TestInput : public QObject, protected WindowFixture
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void inputDuringRun_isDropped_data();
    void inputDuringRun_isDropped();
    void closeDuringRun_endsProgramAfterIt_data();
    void closeDuringRun_endsProgramAfterIt();
    void focus_selectsAllOnlyFromAnotherControl_data();
    void focus_selectsAllOnlyFromAnotherControl();
    void previewClose_storesListsTheMainWindowCouldNot();
    void handOver_failingStep_reportedAndNextRunWorks_data();
    void handOver_failingStep_reportedAndNextRunWorks();

private:
    QWidget* button(Form1& form, int number)
    {
        return form.findChild<QPushButton*>(QStringLiteral("PushButton%1").arg(number));
    }
    QStringList documents() const
    {
        return QDir(Main::tempFolder()).entryList({QStringLiteral("qorvin*.doc")}, QDir::Files);
    }

    std::unique_ptr<FakeWord::Engine::Installed> m_word;
    PagePicture m_picture;
};

void TestInput::init()
{
    setUpWindowTest();
    m_word = std::make_unique<FakeWord::Engine::Installed>();
    FakeWord::Content flyer;
    flyer.body << QStringLiteral("[BusinessName]");
    flyer.shapes << FakeWord::Shape{FakeWord::Shape::TextBox, QStringLiteral("[Services1]")};
    TemplateFilling::setTemplateSourceForTesting([flyer] { return flyer.toBytes(); });
    Main::PictureClipboard::install(&m_picture);
}

void TestInput::cleanup()
{
    Shutdown::resetForTesting();
    Main::PictureClipboard::install(nullptr);
    m_picture.onRead = nullptr;
    TemplateFilling::setTemplateSourceForTesting({});
    m_word.reset();
    tearDownWindowTest();
}

void TestInput::inputDuringRun_isDropped_data()
{
    QTest::addColumn<Input>("input");
    QTest::newRow("second start") << Input(
        [this](Form1& f, bool now) { click(button(f, 6), now); });
    QTest::newRow("second start past the filter")
        << Input([](Form1& f, bool) { f.PushButton6_Click(); });
    QTest::newRow("reset") << Input([this](Form1& f, bool now) { click(button(f, 3), now); });
    QTest::newRow("sample") << Input([this](Form1& f, bool now) { click(button(f, 4), now); });
    QTest::newRow("add") << Input([this](Form1& f, bool now) { click(button(f, 1), now); });
    QTest::newRow("delete") << Input([this](Form1& f, bool now) { click(button(f, 2), now); });
    QTest::newRow("typing") << Input([](Form1& f, bool now) { type(f.Text1(0), now); });
    QTest::newRow("picture shortcut") << Input([](Form1& f, bool) {
        QTest::keyClick(&f, Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
    });
}

void TestInput::inputDuringRun_isDropped()
{
    QFETCH(Input, input);
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.Text1(0)->setText(QStringLiteral("Acme"));
    form.Text1(0)->setFocus();
    form.Text1(0)->deselect();
    form.List1()->addItems({QStringLiteral("Mowing"), QStringLiteral("Edging")});
    form.List1()->setCurrentRow(0);
    m_dialogs->answerInputs({QStringLiteral("Added during the run")});
    const QByteArray stored = m_environment->settingsText();

    // Given while the run lets events through (writing the template), and
    // given while it does not, so that they wait for its end.
    QTimer::singleShot(0, &form, [&] { input(form, true); });
    m_picture.onRead = [&] { input(form, false); };
    click(button(form, 6), true);
    QVERIFY(!m_picture.onRead);
    QTest::qWait(50);

    QCOMPARE((*m_word)->count(QStringLiteral("Document.SaveAs")), 1);
    QCOMPARE(documents().size(), 1);
    QCOMPARE(form.Text1(0)->text(), QStringLiteral("Acme"));
    QCOMPARE(itemsOf(form.List1()),
             (QStringList{QStringLiteral("Mowing"), QStringLiteral("Edging")}));
    QCOMPARE(form.List2()->count(), 0);
    QCOMPARE(m_environment->settingsText(), stored);
    QVERIFY(m_dialogs->shown().isEmpty());
    QVERIFY(form.previewWindow()->isVisible());
    QVERIFY(!form.isVisible());
    QVERIFY(m_endings.isEmpty());

    // Input given after the run is carried out as usual.
    form.previewWindow()->hide();
    form.show();
    click(button(form, 3), true);
    QCOMPARE(form.List1()->count(), 0);
}

void TestInput::closeDuringRun_endsProgramAfterIt_data()
{
    QTest::addColumn<Input>("close");
    QTest::newRow("main window closed, dispatched in the run")
        << Input([](Form1& f, bool) { f.close(); });
    QTest::newRow("main window closed, waiting for the run's end")
        << Input([](Form1& f, bool) { QApplication::postEvent(&f, new QCloseEvent); });
    QTest::newRow("signal or session end") << Input([](Form1& f, bool) { f.closeShowingWindow(); });
}

void TestInput::closeDuringRun_endsProgramAfterIt()
{
    QFETCH(Input, close);
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.List1()->addItem(QStringLiteral("Mowing"));
    QTimer::singleShot(0, &form, [&] { close(form, true); });
    click(button(form, 6), true);
    QTest::qWait(50);

    // Ended as closing the main window ends: lists stored, no preview, the
    // filled document gone, no office session left.
    QCOMPARE(m_endings, QList<int>{0});
    QCOMPARE(ReadSetting(QStringLiteral("List1")), QStringLiteral("Mowing;"));
    QVERIFY(!form.previewWindow() || !form.previewWindow()->isVisible());
    QCOMPARE((*m_word)->count(QStringLiteral("Document.SaveAs")), 1);
    QCOMPARE(documents(), QStringList());
    QCOMPARE((*m_word)->runningApplications(), 0);
    QVERIFY(m_dialogs->shown().isEmpty());
}

void TestInput::focus_selectsAllOnlyFromAnotherControl_data()
{
    QTest::addColumn<Qt::FocusReason>("reason");
    QTest::addColumn<QString>("typed");
    QTest::newRow("tab") << Qt::TabFocusReason << "Z";
    QTest::newRow("shift+tab") << Qt::BacktabFocusReason << "Z";
    QTest::newRow("click from another control") << Qt::MouseFocusReason << "Z";
    QTest::newRow("window activated again") << Qt::ActiveWindowFocusReason << "Acme Z Ltd";
    QTest::newRow("context menu closed") << Qt::PopupFocusReason << "Acme Z Ltd";
}

void TestInput::focus_selectsAllOnlyFromAnotherControl()
{
    QFETCH(Qt::FocusReason, reason);
    QFETCH(QString, typed);
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QLineEdit* field = form.Text1(0);
    field->setText(QStringLiteral("Acme  Ltd"));
    field->setFocus(Qt::TabFocusReason);
    field->setCursorPosition(5);
    form.Text1(7)->setFocus(reason);
    field->setFocus(reason);
    QCOMPARE(QApplication::focusWidget(), field);
    QTest::keyClicks(field, QStringLiteral("Z"));
    QCOMPARE(field->text(), typed);
    QCOMPARE(ReadSetting(QStringLiteral("Text1_0")), typed);
}

void TestInput::previewClose_storesListsTheMainWindowCouldNot()
{
    // The store cannot be written when the service is added (a plain file
    // stands where its folder should be); it can again by the time the
    // preview, which the program ends from, is closed.
    Form1 form;
    form.show();
    const QString blocked = m_environment->root() + QStringLiteral("/blocked");
    QFile file(blocked);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    SettingsStore::useFileForTesting(blocked + QStringLiteral("/a.conf"));
    m_dialogs->answerInputs({QStringLiteral("Mowing")});
    click(button(form, 1), true);
    QCOMPARE(m_dialogs->shown().size(), 2);
    QCOMPARE(m_dialogs->errors().size(), 1);
    QVERIFY(QFile::remove(blocked));
    QVERIFY(QDir().mkpath(blocked));

    click(button(form, 6), true);
    Form2* preview = form.previewWindow();
    QVERIFY(preview && preview->isVisible());
    QVERIFY(preview->close());
    QCOMPARE(m_endings, QList<int>{0});
    QFile store(blocked + QStringLiteral("/a.conf"));
    QVERIFY(store.open(QIODevice::ReadOnly));
    const QByteArray text = store.readAll();
    QVERIFY2(text.contains("List1=\"Mowing;\""), text.constData());
    QCOMPARE(documents(), QStringList());
}

void TestInput::handOver_failingStep_reportedAndNextRunWorks_data()
{
    QTest::addColumn<int>("line");
    QTest::addColumn<bool>("shown");
    QTest::newRow("nothing fails") << 0 << true;
    QTest::newRow("pointer not put back") << 242 << true;
    QTest::newRow("preview cannot be shown") << 246 << false;
}

// The window's side of the run: the hourglass while it makes the flyer, then
// the preview in place of the main window, or the main window kept when the
// preview cannot be shown; either way the next run is not ignored.
void TestInput::handOver_failingStep_reportedAndNextRunWorks()
{
    QFETCH(int, line);
    QFETCH(bool, shown);
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    auto during = WindowPointer::Default;
    m_picture.onRead = [&] { during = form.mousePointer().setting(); };
    Guard::failStatementForTesting(Procedure::Form1_PushButton6_Click, line);
    form.PushButton6_Click();
    Guard::failStatementForTesting(Procedure::Form1_PushButton6_Click, 0);

    QCOMPARE(during, WindowPointer::Hourglass);
    QCOMPARE(form.mousePointer().setting(), WindowPointer::Default);
    QCOMPARE(m_dialogs->errors().size(), line ? 1 : 0);
    QCOMPARE(form.previewWindow() && form.previewWindow()->isVisible(), shown);
    QCOMPARE(form.isVisible(), !shown);
    form.PushButton6_Click();
    QCOMPARE((*m_word)->count(QStringLiteral("Document.SaveAs")), 2);
    form.previewWindow()->hide();
}

QTEST_MAIN(TestInput)
#include "tst_input.moc"
