// The office failing in the middle of "Start Creating Template": killed at
// each stage of a run, or frozen until the call time limit ends it. Whatever
// happens the run reports and ends, the main window stays usable, the next run
// succeeds, and no office process or temporary file is left behind.

#include "base/appinfo.h"
#include "base/mainmodule.h"
#include "faultinjection.h"
#include "mainwindow/form1.h"
#include "office/officeengine.h"
#include "officefixture.h"
#include "officeprocesses.h"
#include "preview/form2.h"
#include "scripteddialogs.h"
#include "testenvironment.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <memory>

#include <signal.h>

using Stage = FaultInjectingEngine::Stage;
Q_DECLARE_METATYPE(FaultInjectingEngine::Stage)

namespace {

// The call time limit of the engine under test: long enough for a loaded
// machine to open and export the page, short enough to keep a frozen office
// from holding the suite up.
constexpr int kCallLimitMilliseconds = 10000;

} // namespace

class TestFaultsGeneration : public OfficeFixture
{
    Q_OBJECT

public:
    TestFaultsGeneration() : OfficeFixture({.callMilliseconds = kCallLimitMilliseconds}) {}

private Q_SLOTS:
    void officeFails_duringRun_reportsEndsAndNextRunSucceeds_data();
    void officeFails_duringRun_reportsEndsAndNextRunSucceeds();

private:
    void startTestCase() override;
    void endTestCase() override;

    void expectCleanSuccessfulRun(Form1& form, ScriptedDialogs& dialogs);

    std::shared_ptr<FaultInjectingEngine> m_injecting;
    Stage m_armedStage = Stage::BeforeTemplateOpen;
    int m_signal = 0;
    int m_fired = 0;
    QList<qint64> m_victims;
};

void TestFaultsGeneration::startTestCase()
{
    m_injecting = std::make_shared<FaultInjectingEngine>(m_engine, [this](Stage stage) {
        if (m_signal == 0 || stage != m_armedStage)
            return;
        m_victims = processesMentioning(m_cache);
        signalProcesses(m_victims, m_signal);
        if (m_signal == SIGKILL)
            QVERIFY(waitUntilGone(m_victims, 10000));
        m_signal = 0;
        ++m_fired;
    });
    Word::setEngine(m_injecting);
}

void TestFaultsGeneration::endTestCase()
{
    Word::setEngine(nullptr);
    m_injecting.reset();
}

void TestFaultsGeneration::officeFails_duringRun_reportsEndsAndNextRunSucceeds_data()
{
    QTest::addColumn<Stage>("stage");
    QTest::addColumn<int>("signal");
    QTest::newRow("killed before the template opens") << Stage::BeforeTemplateOpen << SIGKILL;
    QTest::newRow("killed during the first pass") << Stage::DuringFirstPass << SIGKILL;
    QTest::newRow("killed between the passes") << Stage::BetweenPasses << SIGKILL;
    QTest::newRow("killed before the save") << Stage::BeforeSave << SIGKILL;
    QTest::newRow("killed during the snapshot") << Stage::DuringSnapshot << SIGKILL;
    QTest::newRow("frozen during the first pass") << Stage::DuringFirstPass << SIGSTOP;
    QTest::newRow("frozen during the snapshot") << Stage::DuringSnapshot << SIGSTOP;
}

void TestFaultsGeneration::officeFails_duringRun_reportsEndsAndNextRunSucceeds()
{
    QFETCH(Stage, stage);
    QFETCH(int, signal);
    const QString temp = Main::tempFolder();
    // Each row starts from an empty temporary folder, whatever an earlier one left.
    QDir(temp).removeRecursively();
    QDir().mkpath(temp);
    ScriptedDialogs dialogs;
    Form1 form;
    form.show();
    for (int i = 0; i < FlyerFields::kFieldCount; ++i)
        form.Text1(i)->setText(QStringLiteral("Field %1").arg(i));
    QCOMPARE(dialogs.shown().size(), 0);

    m_armedStage = stage;
    m_signal = signal;
    const int firedBefore = m_fired;
    QElapsedTimer clock;
    clock.start();
    form.PushButton6_Click();
    const qint64 elapsed = clock.elapsed();
    QCOMPARE(m_fired, firedBefore + 1);

    // One run, one clear account of why it stopped: not a box per remaining step.
    const QStringList errors = dialogs.errors();
    QVERIFY(!errors.isEmpty());
    QVERIFY2(errors.size() <= 3, qPrintable(errors.join(QStringLiteral("\n---\n"))));
    QVERIFY2(errors.first().contains(QStringLiteral("office")), qPrintable(errors.first()));
    if (signal == SIGSTOP)
        QVERIFY2(elapsed < 3 * kCallLimitMilliseconds, qPrintable(QString::number(elapsed)));

    // The main window is where the user left it and takes the next click.
    QVERIFY(form.isVisible());
    QVERIFY(!form.previewWindow() || !form.previewWindow()->isVisible());
    QCOMPARE(form.mousePointer().setting(), WindowPointer::Default);
    QVERIFY(waitUntilGone(m_victims, 10000));
    QVERIFY(processesMentioning(m_cache).isEmpty());
    const QStringList left = entriesOf(temp);
    QVERIFY2(left.isEmpty(), qPrintable(left.join(QLatin1Char(' '))));

    dialogs.clear();
    expectCleanSuccessfulRun(form, dialogs);
}

void TestFaultsGeneration::expectCleanSuccessfulRun(Form1& form, ScriptedDialogs& dialogs)
{
    const QString temp = Main::tempFolder();
    form.PushButton6_Click();
    QCOMPARE(dialogs.shown().size(), 0);
    Form2* preview = form.previewWindow();
    QVERIFY(preview);
    QVERIFY(preview->isVisible());
    QVERIFY(!form.isVisible());
    QVERIFY(Main::FileExists(preview->wordFile()));
    QCOMPARE(entriesOf(temp), QStringList{QFileInfo(preview->wordFile()).fileName()});
    QCOMPARE(processesMentioning(m_cache).size(), 1);

    auto* back = preview->findChild<QPushButton*>(QStringLiteral("PushButton8"));
    QVERIFY(back);
    back->click();
    QVERIFY(form.isVisible());
    QVERIFY(!preview->isVisible());
    QCOMPARE(entriesOf(temp), QStringList());
    QCOMPARE(dialogs.shown().size(), 0);
}

QTEST_MAIN(TestFaultsGeneration)
#include "tst_faults_generation.moc"
