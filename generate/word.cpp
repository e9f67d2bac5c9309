#include "generate/word.h"

#include "base/failure.h"

namespace Word {

namespace {
std::shared_ptr<Engine>& current()
{
    static std::shared_ptr<Engine> value;
    return value;
}
} // namespace

Engine& engine()
{
    if (!current())
        throw Failure(QStringLiteral("No document engine is available."));
    return *current();
}

namespace {
int& eventsDuringCalls()
{
    static int depth = 0;
    return depth;
}
EventsDuringCalls::Input& innermostInput()
{
    static auto input = EventsDuringCalls::Input::Held;
    return input;
}
} // namespace

EventsDuringCalls::EventsDuringCalls(Input input) : m_outer(innermostInput())
{
    ++eventsDuringCalls();
    innermostInput() = input;
}

EventsDuringCalls::~EventsDuringCalls()
{
    --eventsDuringCalls();
    innermostInput() = m_outer;
}

bool EventsDuringCalls::inputAllowed()
{
    return active() && innermostInput() == Input::Allowed;
}

bool EventsDuringCalls::active()
{
    return eventsDuringCalls() > 0;
}

void setEngine(std::shared_ptr<Engine> newEngine)
{
    current() = std::move(newEngine);
}

QString Engine::unavailableText() const
{
    const QString paragraph = QStringLiteral("\r\n\r\n");
    return QStringLiteral("Error 842001. A normal instance of Word could not be created.") +
           paragraph + QStringLiteral("1. Please make sure Word is installed on this computer.") +
           paragraph +
           QStringLiteral("2. Please open Word normally and make sure a blank document opens "
                          "immediately without any interrupting window (such as an Word file "
                          "recovery window).") +
           paragraph +
           QStringLiteral("3. Please make sure that when you double-click on a DOC or DOCX file "
                          "that Word opens normally without any interrupting messages.") +
           paragraph +
           QStringLiteral("4. All versions of Word are supported by this software except for the "
                          "rare Word Starter and Student editions.");
}

QString UnavailableText()
{
    if (current())
        return current()->unavailableText();
    struct WordEngine final : Engine
    {
        std::shared_ptr<Application> createApplication() override { return nullptr; }
    };
    return WordEngine().unavailableText();
}

std::shared_ptr<Application> CreateApplication()
{
    return engine().createApplication();
}

} // namespace Word
