#include "office/officefloor.h"

#include "office/officeconnection.h"
#include "office/officeengine.h"
#include "office/unonames.h"
#include "office/unotext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/util/XCloseable.hpp>

#include <stdexcept>

using Office::fileUrl;
using Office::properties;

namespace {

Reference<lang::XComponent> loadHidden(const Reference<frame::XComponentLoader>& loader,
                                       const QString& path, bool readOnly)
{
    return loader->loadComponentFromURL(
        fileUrl(path), "_blank", 0,
        properties({{"Hidden", uno::Any(true)}, {"ReadOnly", uno::Any(readOnly)}}));
}

void closeDocument(const Reference<lang::XComponent>& document)
{
    Reference<util::XCloseable>(document, UNO_QUERY_THROW)->close(true);
}

} // namespace

double officeFloorGeneration(Word::Application& application, const QString& templatePath,
                             const QList<std::pair<QString, QString>>& replacements,
                             const QString& folder)
{
    const QString document = QDir(folder).filePath(QStringLiteral("floor.doc"));
    const Reference<uno::XComponentContext> context = officeContext(application);
    QElapsedTimer clock;
    clock.start();
    QImage picture;
    try {
        Reference<frame::XComponentLoader> loader(frame::Desktop::create(context), UNO_QUERY_THROW);
        Reference<lang::XComponent> filled = loadHidden(loader, templatePath, true);
        for (const auto& [token, text] : replacements)
            replaceAllInDocument(filled, FindOptions{token}, text);
        Reference<frame::XStorable>(filled, UNO_QUERY_THROW)
            ->storeToURL(fileUrl(document),
                         properties({{"FilterName", uno::Any(OUString("MS Word 97"))}}));
        closeDocument(filled);

        Reference<lang::XComponent> saved = loadHidden(loader, document, false);
        picture = drawnPagePicture(context, saved, {});
        closeDocument(saved);
    } catch (const uno::Exception& e) {
        throw std::runtime_error("the floor's office steps failed: " +
                                 toQString(e.Message).toStdString());
    }
    const double elapsed = double(clock.nsecsElapsed()) / 1e6;
    if (picture.isNull())
        throw std::runtime_error("the floor's office steps made no picture");
    QFile::remove(document);
    return elapsed;
}
