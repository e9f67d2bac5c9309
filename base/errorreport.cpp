#include "base/errorreport.h"

#include "base/dialogs.h"
#include "base/failure.h"

namespace {
// Part of every location the report prints; support uses it to tell builds apart.
constexpr auto kLocationPrefix = "Pellamont2021/08/31.";
} // namespace

namespace {
struct ReportedName
{
    Procedure procedure;
    const char* window;
    const char* name;
};

constexpr ReportedName kReportedNames[] = {
    {Procedure::Form1_Form_Load, "Form1", "Form_Load"},
    {Procedure::Form1_Form_QueryUnload, "Form1", "Form_QueryUnload"},
    {Procedure::Form1_PushButton1_Click, "Form1", "PushButton1_Click"},
    {Procedure::Form1_PushButton2_Click, "Form1", "PushButton2_Click"},
    {Procedure::Form1_PushButton3_Click, "Form1", "PushButton3_Click"},
    {Procedure::Form1_PushButton4_Click, "Form1", "PushButton4_Click"},
    {Procedure::Form1_PushButton5_Click, "Form1", "PushButton5_Click"},
    {Procedure::Form1_PushButton6_Click, "Form1", "PushButton6_Click"},
    {Procedure::Form1_PushButton7_Click, "Form1", "PushButton7_Click"},
    {Procedure::Form1_SaveDocAsJPG, "Form1", "SaveDocAsJPG"},
    {Procedure::Form2_Form_Load, "Form2", "Form_Load"},
    {Procedure::Form2_Form_Activate, "Form2", "Form_Activate"},
    {Procedure::Form2_Form_QueryUnload, "Form2", "Form_QueryUnload"},
    {Procedure::Form2_PushButton1_Click, "Form2", "PushButton1_Click"},
    {Procedure::Form2_PushButton2_Click, "Form2", "PushButton2_Click"},
    {Procedure::Form2_PushButton6_Click, "Form2", "PushButton6_Click"},
    {Procedure::Form2_PushButton8_Click, "Form2", "PushButton8_Click"},
    {Procedure::Form2_RedrawImage, "Form2", "RedrawImage"},
    {Procedure::Form2_picture1_MouseDown, "Form2", "picture1_MouseDown"},
    {Procedure::Form2_picture1_MouseMove, "Form2", "picture1_MouseMove"},
    {Procedure::Form2_Picture1_MouseUp, "Form2", "Picture1_MouseUp"},
};

const ReportedName& entryOf(Procedure procedure)
{
    for (const ReportedName& entry : kReportedNames) {
        if (entry.procedure == procedure)
            return entry;
    }
    Q_UNREACHABLE();
}

struct ChosenStatement
{
    Procedure procedure = Procedure::Form1_Form_Load;
    int line = 0;
};

ChosenStatement& chosenStatement()
{
    static ChosenStatement chosen;
    return chosen;
}
} // namespace

QString reportedWindow(Procedure procedure)
{
    return QLatin1StringView(entryOf(procedure).window);
}

QString reportedName(Procedure procedure)
{
    return QLatin1StringView(entryOf(procedure).name);
}

QString applicationErrorText(const QString& window, const QString& procedure, int line,
                             const QString& description)
{
    return description + QStringLiteral("\r\n") + QStringLiteral("in ") +
           QLatin1String(kLocationPrefix) + window + QLatin1Char('.') + procedure +
           QLatin1Char(' ') + QStringLiteral("at line ") + QString::number(line) +
           QStringLiteral("\r\r") + QStringLiteral("Please email screenshot of this message to ") +
           QLatin1String(kSupportAddress);
}

void ShowApplicationError(const QString& window, const QString& procedure, int line,
                          const QString& description)
{
    Dialogs::current().error(QStringLiteral("Application Error"),
                             applicationErrorText(window, procedure, line, description));
}

namespace {
bool& reportsWithheld()
{
    static bool withheld = false;
    return withheld;
}

int& reportCount()
{
    static int count = 0;
    return count;
}
} // namespace

int Guard::reportsInAll()
{
    return reportCount();
}

void Guard::setReportsWithheld(bool withheld)
{
    reportsWithheld() = withheld;
}

void Guard::report(int line, const QString& description)
{
    ++m_failures;
    ++reportCount();
    if (reportsWithheld())
        return;
    ShowApplicationError(reportedWindow(m_procedure), reportedName(m_procedure), line, description);
}

void Guard::reportCurrent(int line)
{
    try {
        throw;
    } catch (const LostFailure&) {
        m_lost = true;
    } catch (...) {
    }
    report(line, describeCurrentException());
}

void Guard::failStatementForTesting(Procedure procedure, int line)
{
    chosenStatement() = {procedure, line};
}

void Guard::failIfChosen(int line) const
{
    const ChosenStatement& chosen = chosenStatement();
    if (chosen.line == line && chosen.procedure == m_procedure)
        throw Failure(QStringLiteral("A failure chosen by a test."));
}
