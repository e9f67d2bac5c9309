#include "office/officeengine.h"

#include "base/failure.h"
#include "office/officeconnection.h"
#include "office/officedocument.h"
#include "office/officeprocess.h"
#include "office/unonames.h"
#include "office/unotext.h"

#include <QFileInfo>

#include <com/sun/star/beans/NamedValue.hpp>
#include <com/sun/star/configuration/theDefaultProvider.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/lang/XMultiServiceFactory.hpp>
#include <com/sun/star/text/XTextDocument.hpp>

#include <algorithm>

#include <malloc.h>
#include <signal.h>

using namespace Office;

namespace {

// Blocks from this size up are mapped for themselves and given back whole.
constexpr int kLargeBlockBytes = 512 * 1024;

class OfficeApplication;

class OfficeDocuments final : public Word::Documents
{
public:
    explicit OfficeDocuments(OfficeApplication& application) : m_application(application) {}
    std::shared_ptr<Word::Document> open(const QString& path) override { return open(path, false); }
    std::shared_ptr<Word::Document> open(const QString& path, bool readOnly) override;

private:
    OfficeApplication& m_application;
};

class OfficeApplication final : public Word::Application
{
public:
    explicit OfficeApplication(Session session) : m_session(std::move(session)), m_documents(*this)
    {}
    ~OfficeApplication() override
    {
        // An application released without quit still gives its documents back.
        try {
            if (!m_quit)
                quit();
        } catch (...) {
        }
    }
    Q_DISABLE_COPY_MOVE(OfficeApplication)

    Word::Documents& documents() override { return m_documents; }

    Reference<uno::XComponentContext> context()
    {
        checkRunning();
        m_session.connection->checkGeneration(m_session.generation);
        return m_session.connection->context();
    }

    std::shared_ptr<Word::Document> activeDocument() override
    {
        checkRunning();
        const auto open = std::find_if(m_opened.rbegin(), m_opened.rend(),
                                       [](const auto& document) { return document->isOpen(); });
        if (open != m_opened.rend())
            return *open;
        throw Failure(QStringLiteral("This command is not available because no document is open."));
    }

    // Alerts are never shown by the hidden office; the switch has nothing to do.
    void setDisplayAlerts(bool) override { checkRunning(); }

    QString name() override { return productSetting("ooName"); }
    QString version() override { return productSetting("ooSetupVersionAboutBox"); }

    void quit() override
    {
        checkRunning();
        m_quit = true;
        struct Closed
        {
            Session& session;
            ~Closed() { session.connection->applicationClosed(session.generation); }
        } closed{m_session};
        QString firstProblem;
        for (const auto& document : m_opened) {
            if (!document->isOpen())
                continue;
            try {
                document->close();
            } catch (const Failure& failure) {
                if (firstProblem.isEmpty())
                    firstProblem = failure.description();
            }
        }
        m_opened.clear();
        if (!firstProblem.isEmpty())
            throw Failure(firstProblem);
    }

    std::shared_ptr<Word::Document> open(const QString& path, bool readOnly)
    {
        checkRunning();
        const QFileInfo file(path);
        if (!file.isFile())
            throw Failure(QStringLiteral("The file \"%1\" was not found.").arg(path));
        // The template every run opens is ready before the run, made from
        // the same bytes.
        if (readOnly) {
            if (auto prepared = m_session.connection->takePreparedTemplate(file.absoluteFilePath(),
                                                                           m_session.generation)) {
                auto document = std::make_shared<OfficeDocument>(m_session, prepared->model);
                document->adopt(*prepared);
                m_opened.push_back(document);
                return document;
            }
        }
        auto model = m_session.call([&] {
            Reference<frame::XComponentLoader> loader(m_session.connection->desktop(),
                                                      UNO_QUERY_THROW);
            Reference<lang::XComponent> component = loader->loadComponentFromURL(
                fileUrl(file.absoluteFilePath()), "_blank", 0,
                properties({{"Hidden", Any(true)},
                            {"ReadOnly", Any(readOnly)},
                            {"AsTemplate", Any(false)},
                            {"MacroExecutionMode",
                             Any(sal_Int16(document::MacroExecMode::NEVER_EXECUTE))}}));
            // Any bytes at all open as plain text, so a damaged or foreign file
            // would pass for a document and be filled as one.
            if (component.is() && (!Reference<text::XTextDocument>(component, UNO_QUERY).is() ||
                                   readAsPlainText(component))) {
                component->dispose();
                component.clear();
            }
            return component;
        });
        if (!model.is()) {
            const QString why =
                QStringLiteral("The file \"%1\" could not be opened as a text document.").arg(path);
            const QString shortage = OfficeProcess::machineShortage();
            if (!shortage.isEmpty())
                throw Word::SystemProblem(shortage + QStringLiteral("\r\n\r\nDetails: ") + why);
            throw Failure(why);
        }
        auto document = std::make_shared<OfficeDocument>(m_session, model);
        if (!readOnly)
            document->setLockFile(file.absoluteFilePath());
        m_opened.push_back(document);
        return document;
    }

private:
    // One value of the office's own product description.
    QString productSetting(const char* key)
    {
        checkRunning();
        return m_session.call([&] {
            const auto provider =
                configuration::theDefaultProvider::get(m_session.connection->context());
            const uno::Any node(
                beans::NamedValue("nodepath", Any(OUString("/org.openoffice.Setup/Product"))));
            Reference<container::XNameAccess> product(
                provider->createInstanceWithArguments(
                    "com.sun.star.configuration.ConfigurationAccess",
                    uno::Sequence<uno::Any>(&node, 1)),
                UNO_QUERY_THROW);
            return toQString(product->getByName(OUString::createFromAscii(key)).get<OUString>());
        });
    }

    void checkRunning()
    {
        if (m_quit)
            throw Failure(QStringLiteral("The document engine has already quit."));
    }

    Session m_session;
    OfficeDocuments m_documents;
    std::vector<std::shared_ptr<OfficeDocument>> m_opened;
    bool m_quit = false;
};

std::shared_ptr<Word::Document> OfficeDocuments::open(const QString& path, bool readOnly)
{
    return m_application.open(path, readOnly);
}

class OfficeEngine final : public Word::Engine
{
public:
    explicit OfficeEngine(OfficeEngineLimits limits)
        : m_connection(std::make_shared<Connection>(limits))
    {
        // Writing to the pipe of an office that has just died raises SIGPIPE,
        // which would end the program; the failed write is reported as a
        // failed call instead.
        struct sigaction current
        {
        };
        if (::sigaction(SIGPIPE, nullptr, &current) == 0 && current.sa_handler == SIG_DFL)
            ::signal(SIGPIPE, SIG_IGN);
    }
    ~OfficeEngine() override { m_connection->shutdown(); }
    Q_DISABLE_COPY_MOVE(OfficeEngine)

    std::shared_ptr<Word::Application> createApplication() override
    {
        Session session{m_connection, 0};
        try {
            session.generation = m_connection->connect();
        } catch (const uno::Exception& e) {
            throw Failure(describeUnoException(e));
        }
        m_connection->applicationOpened();
        return std::make_shared<OfficeApplication>(std::move(session));
    }

    void prepare() override { m_connection->prepare(); }
    QString unavailableText() const override { return OfficeProcess::unavailableText(); }
    void warmUp(const QByteArray& sample) override { m_connection->warmUp(sample); }
    void abandon() override { m_connection->abandon(); }
    bool starting() override { return m_connection->starting(); }

private:
    std::shared_ptr<Connection> m_connection;
};

} // namespace

QString storableText(const QString& text)
{
    QString result;
    result.reserve(text.size());
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t c = text.at(i).unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < size &&
            QChar::isLowSurrogate(text.at(i + 1).unicode())) {
            result += text.at(i);
            result += text.at(++i);
            continue;
        }
        const bool control =
            (c < 0x20 && c != u'\t' && c != u'\n' && c != u'\r') || (c >= 0x7f && c <= 0x9f);
        if (control || QChar::isSurrogate(c) || c == 0xfffe || c == 0xffff)
            continue;
        result += QChar(c);
    }
    return result;
}

std::shared_ptr<Word::Engine> createOfficeEngine(OfficeEngineLimits limits)
{
    // Every page picture crosses the connection as megabytes of pixels, read
    // on the connection's own thread. Left to itself, the allocator raises its
    // threshold for mapping such blocks and then keeps their memory in that
    // thread's heap for good, once for every connection thread it has known.
    mallopt(M_MMAP_THRESHOLD, kLargeBlockBytes);
    return std::make_shared<OfficeEngine>(limits);
}

namespace Office {

void withDocumentModel(Word::Document& document,
                       const std::function<void(const Reference<lang::XComponent>&)>& step)
{
    auto* office = dynamic_cast<OfficeDocument*>(&document);
    if (!office)
        throw Failure(QStringLiteral("The document does not belong to the office engine."));
    office->settle();
    office->calls().releaseLayout();
    office->call([&] { step(office->calls().model()); });
}

} // namespace Office

Reference<uno::XComponentContext> officeContext(Word::Application& application)
{
    auto* office = dynamic_cast<OfficeApplication*>(&application);
    if (!office)
        throw Failure(QStringLiteral("The application does not belong to the office engine."));
    return office->context();
}
