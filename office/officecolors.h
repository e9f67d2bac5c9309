#pragma once

// The colours of a text document changed in one pass (Word::Recoloring): the
// text of its stories, the lines of its drawings and its pictures. Only the
// office adapter includes this (it brings in UNO headers).

#include "generate/word.h"
#include "office/shapecache.h"

#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/text/XText.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>

#include <vector>

// Recolours `document`, whose texts are `stories` and whose floating shapes
// (those of headers and footers left out) are `floating`, in the order of its
// draw page. Returns the text and line colours met that `recoloring` has no
// partner for.
std::vector<quint32>
recolorOfficeDocument(const css::uno::Reference<css::uno::XComponentContext>& context,
                      const css::uno::Reference<css::lang::XComponent>& document,
                      const std::vector<css::uno::Reference<css::text::XText>>& stories,
                      const Office::ShapeCache::ShapeList& floating,
                      const Word::Recoloring& recoloring);
