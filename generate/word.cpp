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

void setEngine(std::shared_ptr<Engine> newEngine)
{
    current() = std::move(newEngine);
}

std::shared_ptr<Application> CreateApplication()
{
    return engine().createApplication();
}

} // namespace Word
