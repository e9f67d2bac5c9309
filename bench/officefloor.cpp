#include "officefloor.h"

#include "generate/libreoffice/officeengine.h"
#include "generate/libreoffice/unotext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QUrl>

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XComponentLoader.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <com/sun/star/util/XReplaceDescriptor.hpp>
#include <com/sun/star/util/XReplaceable.hpp>
#include <com/sun/star/util/XSearchDescriptor.hpp>

#include <algorithm>
#include <stdexcept>

using namespace com::sun::star;
using css::uno::Reference;
using css::uno::UNO_QUERY_THROW;

namespace {

beans::PropertyValue property(const char* name, const uno::Any& value)
{
    beans::PropertyValue result;
    result.Name = OUString::createFromAscii(name);
    result.Value = value;
    return result;
}

uno::Sequence<beans::PropertyValue> properties(std::initializer_list<beans::PropertyValue> values)
{
    uno::Sequence<beans::PropertyValue> result(static_cast<sal_Int32>(values.size()));
    std::copy(values.begin(), values.end(), result.getArray());
    return result;
}

OUString urlOf(const QString& path)
{
    return toOUString(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded));
}

Reference<lang::XComponent> loadHidden(const Reference<frame::XComponentLoader>& loader,
                                       const QString& path, bool readOnly)
{
    return loader->loadComponentFromURL(
        urlOf(path), "_blank", 0,
        properties({property("Hidden", uno::Any(true)), property("ReadOnly", uno::Any(readOnly))}));
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
    const QString picture = QDir(folder).filePath(QStringLiteral("floor.png"));
    const Reference<uno::XComponentContext> context = officeContext(application);
    QElapsedTimer clock;
    clock.start();
    try {
        Reference<frame::XComponentLoader> loader(frame::Desktop::create(context), UNO_QUERY_THROW);
        Reference<lang::XComponent> filled = loadHidden(loader, templatePath, true);
        Reference<util::XReplaceable> replaceable(filled, UNO_QUERY_THROW);
        for (const auto& [token, text] : replacements) {
            Reference<util::XReplaceDescriptor> descriptor = replaceable->createReplaceDescriptor();
            descriptor->setSearchString(toOUString(token));
            descriptor->setReplaceString(toOUString(text));
            replaceable->replaceAll(
                Reference<util::XSearchDescriptor>(descriptor, UNO_QUERY_THROW));
        }
        Reference<frame::XStorable>(filled, UNO_QUERY_THROW)
            ->storeToURL(urlOf(document),
                         properties({property("FilterName", uno::Any(OUString("MS Word 97")))}));
        closeDocument(filled);

        Reference<lang::XComponent> saved = loadHidden(loader, document, false);
        const uno::Sequence<beans::PropertyValue> size =
            properties({property("PixelWidth", uno::Any(sal_Int32(kPagePictureWidth))),
                        property("PixelHeight", uno::Any(sal_Int32(kPagePictureHeight)))});
        Reference<frame::XStorable>(saved, UNO_QUERY_THROW)
            ->storeToURL(
                urlOf(picture),
                properties({property("FilterName", uno::Any(OUString("writer_png_Export"))),
                            property("FilterData", uno::Any(size))}));
        closeDocument(saved);
    } catch (const uno::Exception& e) {
        throw std::runtime_error("the floor's office steps failed: " +
                                 toQString(e.Message).toStdString());
    }
    const double elapsed = double(clock.nsecsElapsed()) / 1e6;
    if (!QFile::exists(picture))
        throw std::runtime_error("the floor's office steps made no picture");
    QFile::remove(document);
    QFile::remove(picture);
    return elapsed;
}
