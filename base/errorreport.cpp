#include "base/errorreport.h"

#include "base/dialogs.h"

namespace {
// Part of every location the report prints; support uses it to tell builds apart.
constexpr auto kLocationPrefix = "Pellamont2021/08/31.";
} // namespace

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

void Guard::report(int line, const QString& description)
{
    ++m_failures;
    ShowApplicationError(m_window, m_procedure, line, description);
}
