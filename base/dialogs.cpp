#include "base/dialogs.h"

#include <cstdio>

namespace {
Dialogs* installed = nullptr;

// What a program without windows tells: one line per box on the standard
// error output; every question is answered as its Cancel would be.
class StandardErrorDialogs final : public Dialogs
{
public:
    void error(const QString& title, const QString& text) override { tell(title, text); }
    void message(const QString& title, const QString& text) override { tell(title, text); }
    Answer question(const QString& title, const QString& text) override
    {
        tell(title, text);
        return Answer::No;
    }
    QString input(const QString& title, const QString& prompt) override
    {
        tell(title, prompt);
        return {};
    }
    QString saveFile(const QString&, const QString&, const QString& = QString()) override
    {
        return {};
    }
    std::optional<PrintChoice> print(const QString&) override { return std::nullopt; }

private:
    static void tell(const QString& title, const QString& text)
    {
        std::fprintf(stderr, "%s: %s\n", qUtf8Printable(title), qUtf8Printable(text));
    }
};
} // namespace

Dialogs& Dialogs::current()
{
    static StandardErrorDialogs standardError;
    return installed ? *installed : standardError;
}

void Dialogs::install(Dialogs* dialogs)
{
    installed = dialogs;
}
