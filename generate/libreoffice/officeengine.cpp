#include "generate/libreoffice/officeengine.h"

#include "app/failure.h"

// Replaced by the UNO adapter.
namespace {
class MissingEngine final : public Word::Engine
{
public:
    std::shared_ptr<Word::Application> createApplication() override
    {
        throw Failure(QStringLiteral("The office engine is not part of this build."));
    }
};
} // namespace

std::shared_ptr<Word::Engine> createOfficeEngine()
{
    return std::make_shared<MissingEngine>();
}
