#pragma once

#include "base/failure.h"

#include <QString>

#include <utility>

// The "Application Error" box: the failure, where it happened, and whom to tell.
// Returns when the user has pressed OK.
void ShowApplicationError(const QString& window, const QString& procedure, int line,
                          const QString& description);

// The exact text of that box. Kept apart so that it can be checked without a box.
QString applicationErrorText(const QString& window, const QString& procedure, int line,
                             const QString& description);

inline constexpr const char* kSupportAddress = "support@pellamont.example";

// Guards the numbered statements of one handler. Each statement runs through
// the guard with its number; when it throws, the error box names the failure,
// the handler and that number, and the handler simply goes on with its next
// statement. A failure inside an operation the statement called is reported
// with the statement's number, since that is where the guard catches it.
//
//     Guard guard{"Form1", "PushButton2_Click"};
//     int selected = guard.value(100, -1, [&] { return List1->currentRow(); });
//     if (selected != -1)
//         guard(102, [&] { List1->takeItem(selected); });
//
// A failing condition counts as true (`test`), so the handler continues inside
// the block the condition guards. Inside a loop, a failed statement is reported
// once per pass and the loop goes on with its next pass.
// Every procedure the error report names, as window and procedure name
// spelled exactly as the report shows them (letter case included). A guarded
// procedure names itself by one of these; the spellings live in one table.
enum class Procedure {
    Form1_Form_Load,
    Form1_Form_QueryUnload,
    Form1_PushButton1_Click,
    Form1_PushButton2_Click,
    Form1_PushButton3_Click,
    Form1_PushButton4_Click,
    Form1_PushButton5_Click,
    Form1_PushButton6_Click,
    Form1_PushButton7_Click,
    Form1_SaveDocAsJPG,
    Form2_Form_Load,
    Form2_Form_Activate,
    Form2_Form_QueryUnload,
    Form2_PushButton1_Click,
    Form2_PushButton2_Click,
    Form2_PushButton6_Click,
    Form2_PushButton8_Click,
    Form2_RedrawImage,
    Form2_picture1_MouseDown,
    Form2_picture1_MouseMove,
    Form2_Picture1_MouseUp,
};

// The window ("Form1") and the procedure name ("Form_Load") of `procedure`.
QString reportedWindow(Procedure procedure);
QString reportedName(Procedure procedure);

class Guard
{
public:
    explicit Guard(Procedure procedure) : m_procedure(procedure) {}

    // Makes statement `line` of `procedure` fail, each time it runs, as if it
    // had thrown; line 0 ends that. Use only for testing: it shows that a
    // reported statement number is the one the procedure uses.
    static void failStatementForTesting(Procedure procedure, int line);

    // Runs one statement; false when it failed (and was reported).
    template <typename Statement> bool operator()(int line, Statement&& statement)
    {
        try {
            failIfChosen(line);
            std::forward<Statement>(statement)();
            return true;
        } catch (...) {
            reportCurrent(line);
            return false;
        }
    }

    // An if-test: a failing condition is reported and taken as true.
    template <typename Condition> bool test(int line, Condition&& condition)
    {
        try {
            failIfChosen(line);
            return static_cast<bool>(std::forward<Condition>(condition)());
        } catch (...) {
            reportCurrent(line);
            return true;
        }
    }

    // A statement that produces a value; a failure is reported and gives `fallback`.
    template <typename T, typename Expression>
    T value(int line, T fallback, Expression&& expression)
    {
        try {
            failIfChosen(line);
            return std::forward<Expression>(expression)();
        } catch (...) {
            reportCurrent(line);
            return fallback;
        }
    }

    void report(int line, const QString& description);

    // Once the user has asked the program to end, what fails afterwards is
    // the work the closing stopped: no box holds the ending up. Until
    // set back to false.
    static void setReportsWithheld(bool withheld);
    // How many failures every guard of the program has reported so far.
    static int reportsInAll();

    // How many failures this run of the handler has reported so far.
    int failures() const { return m_failures; }

    // True once a statement failed with a LostFailure: every later statement
    // of this run would fail too.
    bool lost() const { return m_lost; }

private:
    // Reports the exception in flight; only valid inside a catch block.
    void reportCurrent(int line);

    void failIfChosen(int line) const;

    Procedure m_procedure;
    int m_failures = 0;
    bool m_lost = false;
};
