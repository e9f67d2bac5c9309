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
class Guard
{
public:
    Guard(QString window, QString procedure)
        : m_window(std::move(window)), m_procedure(std::move(procedure))
    {}

    // Runs one statement; false when it failed (and was reported).
    template <typename Statement> bool operator()(int line, Statement&& statement)
    {
        try {
            std::forward<Statement>(statement)();
            return true;
        } catch (...) {
            report(line, describeCurrentException());
            return false;
        }
    }

    // An if-test: a failing condition is reported and taken as true.
    template <typename Condition> bool test(int line, Condition&& condition)
    {
        try {
            return static_cast<bool>(std::forward<Condition>(condition)());
        } catch (...) {
            report(line, describeCurrentException());
            return true;
        }
    }

    // A statement that produces a value; a failure is reported and gives `fallback`.
    template <typename T, typename Expression>
    T value(int line, T fallback, Expression&& expression)
    {
        try {
            return std::forward<Expression>(expression)();
        } catch (...) {
            report(line, describeCurrentException());
            return fallback;
        }
    }

    void report(int line, const QString& description);

    // How many failures this run of the handler has reported so far.
    int failures() const { return m_failures; }

private:
    QString m_window;
    QString m_procedure;
    int m_failures = 0;
};
