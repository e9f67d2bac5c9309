#pragma once

// The benchmark program bench_pellamont, in two files: the generation rows
// and the program (bench_pellamont.cpp), and what a long session meets
// (bench_session.cpp).

#include "base/dialogs.h"
#include "base/flyerfields.h"
#include "base/settings.h"
#include "base/shutdown.h"
#include "bench/benchstats.h"
#include "generate/flyertext.h"
#include "generate/tearoffcode.h"
#include "generate/templatefilling.h"
#include "generate/word.h"
#include "mainwindow/flyerpicture.h"
#include "mainwindow/form1.h"
#include "office/officeengine.h"
#include "office/officefloor.h"
#include "preview/form2.h"
#include "testenvironment.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QProcess>
#include <QPushButton>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <functional>
#include <memory>

#include <unistd.h>

using namespace Qt::Literals::StringLiterals;
using BenchStats::median;
using BenchStats::worst;

inline QTextStream& out()
{
    static QTextStream stream(stdout);
    return stream;
}

inline void say(const QString& line)
{
    out() << line << Qt::endl;
}

// Every dialog the program would show is a failed run here, except the
// notices about text that is long for the flyer, which growth runs meet.
class RecordingDialogs final : public Dialogs
{
public:
    QStringList shown;
    int notices = 0;
    void error(const QString&, const QString& text) override { shown << text; }
    void message(const QString&, const QString&) override { ++notices; }
    Answer question(const QString&, const QString& text) override
    {
        shown << text;
        return Answer::No;
    }
    QString input(const QString&, const QString& prompt) override
    {
        shown << prompt;
        return {};
    }
    QString saveFile(const QString&, const QString&, const QString& = QString()) override
    {
        return {};
    }
    std::optional<PrintChoice> print(const QString&) override { return std::nullopt; }
};

inline QString fixed(double value, int decimals = 1)
{
    return QString::number(value, 'f', decimals);
}

// Words with spaces, so that the office can wrap them as it would a user's text.
inline QString textOfLength(int length)
{
    static const QString words = QStringLiteral("green lawns trimmed hedges fresh mulch ");
    QString text;
    text.reserve(length);
    while (text.size() < length)
        text += words;
    text.truncate(length);
    return text;
}

// Processor time in milliseconds of this program and of the offices it
// started: unlike the time on the clock it grows little with the load of the
// machine, so the first run's extra work shows even on a busy one.
double processorMilliseconds();

class Bench
{
public:
    Bench(QString program, int runs) : m_program(std::move(program)), m_runs(runs)
    {
        Dialogs::install(&m_dialogs);
        Shutdown::setHandlerForTesting([](int) {});
    }
    ~Bench()
    {
        m_form.reset();
        Word::setEngine(nullptr);
        m_warm.reset();
        Dialogs::install(nullptr);
    }
    Q_DISABLE_COPY_MOVE(Bench)

    QJsonObject results;

    void startup();
    void generation(bool warm, bool floor);
    void first();
    void literal();
    void growth();
    void typing();
    // Typing with a settings file just under the size refused at start.
    void typingLargeStore();
    void zoom();
    void memory();
    void picture();
    void tearOffCode();

private:
    Form1& form()
    {
        if (!m_form) {
            useWarmEngine();
            m_form = std::make_unique<Form1>();
            m_form->show();
            check(QStringLiteral("opening the main window"));
            sampleData();
        }
        return *m_form;
    }
    void useWarmEngine()
    {
        if (!m_warm) {
            m_warm = createOfficeEngine();
            m_warm->prepare();
        }
        Word::setEngine(m_warm);
    }
    void sampleData()
    {
        button(m_form.get(), "PushButton4")->click();
        QApplication::processEvents();
    }
    static QPushButton* button(QWidget* window, const char* name)
    {
        auto* found = window->findChild<QPushButton*>(QString::fromLatin1(name));
        if (!found)
            throw std::runtime_error(std::string("no button ") + name);
        return found;
    }
    void check(const QString& what)
    {
        if (m_dialogs.shown.isEmpty())
            return;
        const QString shown = m_dialogs.shown.join(QStringLiteral(" | "));
        m_dialogs.shown.clear();
        throw std::runtime_error(QStringLiteral("%1 showed: %2").arg(what, shown).toStdString());
    }
    // One click on "Start Creating Template" until the preview is shown, in
    // milliseconds; then "< Back" to the main window, outside the time. The
    // processor time of the program and its offices meanwhile goes to
    // `processor` when asked for.
    double generateOnce() { return generateOnce(form()); }
    double generateOnce(Form1& window, double* processor = nullptr)
    {
        const double processorBefore = processor ? processorMilliseconds() : 0;
        QElapsedTimer clock;
        clock.start();
        button(&window, "PushButton6")->click();
        QApplication::processEvents();
        const double elapsed = double(clock.nsecsElapsed()) / 1e6;
        if (processor)
            *processor = processorMilliseconds() - processorBefore;
        Form2* preview = window.previewWindow();
        check(QStringLiteral("a generation"));
        if (!preview || !preview->isVisible())
            throw std::runtime_error("the preview was not shown");
        button(preview, "PushButton8")->click();
        QApplication::processEvents();
        return elapsed;
    }
    // The same office steps by the plainest code, on the warm engine's office.
    double floorOnce()
    {
        Form1& window = form();
        if (!m_floorFolder) {
            m_floorFolder = std::make_unique<QTemporaryDir>();
            m_floorTemplate = m_floorFolder->filePath(QStringLiteral("floor.dot"));
            QFile file(m_floorTemplate);
            if (!file.open(QIODevice::WriteOnly) ||
                file.write(TemplateFilling::embeddedTemplate()) < 0)
                throw std::runtime_error("cannot write the floor's template");
        }
        QList<std::pair<QString, QString>> replacements;
        for (int i = 0; i < FlyerFields::kFieldCount; ++i)
            replacements.append({FlyerFields::token(i), window.Text1(i)->text()});
        QStringList services, scheduled;
        for (int row = 0; row < window.List1()->count(); ++row)
            services << window.List1()->item(row)->text();
        for (int row = 0; row < window.List2()->count(); ++row)
            scheduled << window.List2()->item(row)->text();
        const FlyerText::ServiceColumns columns = FlyerText::servicesColumns(services);
        replacements.append({QStringLiteral("[Services1]"), columns.first});
        replacements.append({QStringLiteral("[Services2]"), columns.second});
        replacements.append(
            {QStringLiteral("[ScheduledServices]"), FlyerText::scheduledServicesText(scheduled)});
        auto application = m_warm->createApplication();
        const double elapsed = officeFloorGeneration(*application, m_floorTemplate, replacements,
                                                     m_floorFolder->path());
        application->quit();
        return elapsed;
    }
    // A user looks at the preview before the next step: what the engine does
    // when it is idle (the template prepared for the next run) is over by
    // then, and neither the floor nor the next generation meets it.
    static void lookAtThePreview()
    {
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 1000)
            QApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    // Generations with an option switched on and off by turns, so that both
    // meet the same load of the machine; the first one only warms it. Each
    // is measured as the warm row's are, after a look at the preview: a click
    // that follows another at once waits for the next run's preparation, which
    // would be counted in both and hide what the option itself adds. The
    // engine starts its office afresh after so many runs, always on the same
    // turn: a pair whose click met a new office is measured again, lest
    // the restart count against one side only.
    std::pair<QList<double>, QList<double>> withAndWithout(const std::function<void(bool)>& set)
    {
        const auto office = [] {
            const auto offices =
                BenchStats::childProcesses(::getpid(), QStringLiteral("soffice.bin"));
            return offices.isEmpty() ? pid_t(0) : offices.constLast();
        };
        set(true);
        generateOnce();
        lookAtThePreview();
        QList<double> with, without;
        pid_t known = office();
        const int runs = std::max(m_runs, 10);
        for (int turn = 0; with.size() < runs && turn < 2 * runs; ++turn) {
            bool afresh = false;
            const auto once = [&](bool on) {
                set(on);
                const pid_t now = office();
                afresh = afresh || now != known;
                known = now;
                const double time = generateOnce();
                lookAtThePreview();
                return time;
            };
            const double off = once(false);
            const double on = once(true);
            if (afresh) {
                say(QStringLiteral("                a pair met an office started afresh; "
                                   "measured again"));
                continue;
            }
            without << off;
            with << on;
        }
        return {with, without};
    }
    // What an option adds: the median of the differences within the pairs,
    // which the drift of the machine's load from pair to pair leaves alone,
    // with the distance of the two medians beside it. Said after `label`,
    // `more` following; returned as the row's figures.
    QJsonObject optionAdds(const QString& label, const QList<double>& with,
                           const QList<double>& without, const QString& more = QString())
    {
        QList<double> differences;
        for (qsizetype i = 0; i < std::min(with.size(), without.size()); ++i)
            differences << with[i] - without[i];
        const double added = median(differences);
        const double apart = median(with) - median(without);
        say(label +
            QStringLiteral("adds %1 ms to a warm generation, median of %2 pairs (%3 with, "
                           "%4 without: medians %5 apart; target <= 50)")
                .arg(fixed(added))
                .arg(without.size())
                .arg(fixed(median(with)), fixed(median(without)), fixed(apart)) +
            more);
        return QJsonObject{
            {QStringLiteral("with_ms"), array(with)},
            {QStringLiteral("without_ms"), array(without)},
            {QStringLiteral("added_median_ms"), added},
            {QStringLiteral("medians_apart_ms"), apart},
            {QStringLiteral("target_added_median_ms"), 50},
        };
    }
    QList<double> generateTimes(int count)
    {
        QList<double> times;
        for (int i = 0; i < count; ++i)
            times << generateOnce();
        return times;
    }
    static QJsonArray array(const QList<double>& values)
    {
        QJsonArray result;
        for (double value : values)
            result.append(value);
        return result;
    }
    void setFields(const QString& text)
    {
        for (int i = 0; i < FlyerFields::kFieldCount; ++i)
            m_form->Text1(i)->setText(text);
    }
    void setServices(int count)
    {
        QListWidget* lists[] = {m_form->List1(), m_form->List2()};
        for (QListWidget* list : lists) {
            list->clear();
            for (int i = 0; i < count; ++i)
                list->addItem(QStringLiteral("Service number %1").arg(i + 1));
        }
    }

    RecordingDialogs m_dialogs;
    QString m_program;
    int m_runs;
    std::shared_ptr<Word::Engine> m_warm;
    std::unique_ptr<Form1> m_form;
    std::unique_ptr<QTemporaryDir> m_floorFolder;
    QString m_floorTemplate;
    double m_warmMedian = 0;
};
