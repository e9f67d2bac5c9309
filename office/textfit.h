#pragma once

// Shrinking the text of a document's text frames until it fits them, on the
// office's own layout. Part of the office adapter (it brings in UNO headers).

#include "generate/word.h"

#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/text/XText.hpp>

#include <optional>
#include <vector>

// A text frame's designed writing mode, size and inner margins, as fitting
// reads them before it changes them (and puts them back).
struct FrameShape
{
    bool vertical = false; // the lines run top to bottom
    sal_Int16 sizeType = 0;
    sal_Int32 width = 0, height = 0;
    // The inner margins at the start and the end of the stack of lines (the
    // office turns them with the text).
    sal_Int32 top = 0, bottom = 0;
    // The text as designed with its sizes and indents, paragraph by
    // paragraph: frames that look alike here stay alike through the same
    // replacements. None when a paragraph mixes them.
    std::optional<rtl::OUString> look;
};

// Reads them through the office, one call per value; the look, when asked
// for, a few calls per paragraph (meant for before a run, where it costs
// nothing).
FrameShape readFrameShape(const css::uno::Reference<css::text::XText>& text, bool withLook = true);

// What the caller knows of a frame already, so that fitting need not ask the
// office: its text, and its shape.
struct KnownFrame
{
    std::optional<rtl::OUString> content;
    std::optional<FrameShape> shape;
};

// Word::Document::fitTextToShapes() on an office document, whose floating
// shapes' texts are `shapeTexts` (one per floating shape, empty for one without text): every
// text frame whose laid-out text needs more room than the frame has gets
// smaller text, step by step, until it fits or reaches the floor of `limits`.
// All frames are measured together after one layout per step. `plan` says
// which frames share one size, which are only measured and which alone are
// looked at. `known` (by the same index as `shapeTexts`) spares reading.
// What it finds for a frame that shrinks on its own is kept for the next
// call whose frame holds the same text in the same designed look and shape.
std::vector<Word::TextFit>
fitFrameTexts(const css::uno::Reference<css::lang::XComponent>& document,
              const Word::TextFitLimits& limits,
              const std::vector<css::uno::Reference<css::text::XText>>& shapeTexts,
              const Word::TextFitPlan& plan = {}, const std::vector<KnownFrame>& known = {});
