#pragma once

// One document open in the office engine, as Word's Document: its ranges,
// finds, shapes and text frames are adapters over it (officedocument.cpp).
// Brings in UNO headers: only the LibreOffice engine includes it.

#include "generate/word.h"
#include "office/documentcalls.h"
#include "office/documenttexts.h"
#include "office/preparedtemplate.h"
#include "office/replacelater.h"
#include "office/shapecache.h"

#include <QRectF>
#include <QString>

#include <com/sun/star/lang/XComponent.hpp>

#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace Office {

class OfficeDocument final : public Word::Document,
                             public std::enable_shared_from_this<OfficeDocument>
{
public:
    OfficeDocument(Session session, css::uno::Reference<css::lang::XComponent> model)
        : m_calls(std::move(session), std::move(model))
    {}
    Q_DISABLE_COPY_MOVE(OfficeDocument)

    std::vector<std::shared_ptr<Word::Range>> storyRanges() override;
    std::vector<std::shared_ptr<Word::Shape>> shapes() override;
    std::shared_ptr<Word::Range> range() override;
    std::shared_ptr<Word::Shape> addPicture(const QString& fileName, const QRectF& place) override;
    std::vector<std::shared_ptr<Word::Shape>>
    addPictures(const QString& fileName, const std::vector<QRectF>& places) override;
    using Word::Document::fitTextToShapes;
    std::vector<Word::TextFit> fitTextToShapes(const Word::TextFitLimits& limits,
                                               const Word::TextFitPlan& plan) override;
    void removeTokenLines(const QStringList& tokens) override;
    std::vector<quint32> recolor(const Word::Recoloring& recoloring) override;
    void saveAs(const QString& path) override;
    void exportAsFixedFormat(const QString& path, int exportFormat) override;
    void close() override;
    void close(int) override { close(); }

    // Takes what was read of a prepared document as read from this one.
    void adopt(const PreparedDocument& prepared)
    {
        m_texts.adopt(prepared.stories, prepared.texts);
        m_shapes.adopt(prepared.shapes);
        for (const auto& [text, shape] : prepared.frameShapes)
            m_frameShapes.emplace(text.get(), std::make_pair(text, shape));
        for (const auto& [object, place] : prepared.places)
            m_places.emplace(object.get(), std::make_pair(object, place));
        m_spares = prepared.pictures;
    }
    // A frame's place as last read or set, if known.
    std::optional<QRectF> knownPlace(const css::uno::Reference<css::uno::XInterface>& object) const
    {
        const auto known = m_places.find(object.get());
        return known == m_places.end() ? std::nullopt : std::optional(known->second.second);
    }
    // A frame got a new height (a tear-off tab beside its code), in
    // hundredths of a millimetre as the office keeps it: neither its place
    // nor, for fitting, the rest of its shape need be read again.
    void frameHeightChanged(const css::uno::Reference<css::uno::XInterface>& object,
                            const css::uno::Reference<css::text::XText>& text, sal_Int32 height);

    // A frame's text written anew: its designed look is no longer known.
    void frameTextSet(const css::uno::Reference<css::text::XText>& text)
    {
        const auto known = m_frameShapes.find(text.get());
        if (known != m_frameShapes.end())
            known->second.second.look.reset();
    }

    // The lock file the office keeps beside a document opened for editing.
    void setLockFile(const QString& documentPath);
    bool isOpen() const { return !m_calls.isClosed(); }

    // Renders the page as the office prints it, shapes included, onto the
    // clipboard.
    void copyAsPicture();

    // Carries out the replacement that waits, if any: everything but another
    // story's part of the same replace-all first settles it.
    void settle() { m_later.settle(); }

    template <typename Step> auto call(Step&& step) -> decltype(step())
    {
        return m_calls.call(std::forward<Step>(step));
    }
    DocumentCalls& calls() { return m_calls; }
    DocumentTexts& texts() { return m_texts; }
    ReplaceLater& later() { return m_later; }
    ShapeCache& shapeCache() { return m_shapes; }

private:
    // A store into `folder`: the office's store error on a full disk is a
    // code, so the disk is asked when it fails.
    template <typename Step> void storing(const QString& folder, Step&& step);
    QImage exportedPagePicture(QSize wanted);

    DocumentCalls m_calls;
    DocumentTexts m_texts{m_calls};
    ReplaceLater m_later{m_calls, m_texts};
    ShapeCache m_shapes{m_calls};
    // The designed shapes of the text frames, as fitting reads them; keyed
    // like the texts.
    std::unordered_map<const void*, std::pair<css::uno::Reference<css::text::XText>, FrameShape>>
        m_frameShapes;
    // The text frames' places in points, keyed by their objects.
    std::unordered_map<const void*, std::pair<css::uno::Reference<css::uno::XInterface>, QRectF>>
        m_places;
    // Pictures made ready before the run, for the pictures it adds.
    std::vector<SparePicture> m_spares;
    QString m_lockFile;
};

} // namespace Office
