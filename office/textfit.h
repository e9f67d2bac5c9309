#pragma once

// Shrinking the text of a document's text frames until it fits them, on the
// office's own layout. Part of the office adapter (it brings in UNO headers).

#include "generate/word.h"

#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/text/XText.hpp>

#include <vector>

// Word::Document::fitTextToShapes() on an office document, whose floating
// shapes' texts are `shapeTexts` (one per floating shape, empty for one without text): every
// text frame whose laid-out text needs more room than the frame has gets
// smaller text, step by step, until it fits or reaches the floor of `limits`.
// All frames are measured together after one layout per step. `plan` says
// which frames share one size, which are only measured and which alone are
// looked at.
std::vector<Word::TextFit>
fitFrameTexts(const css::uno::Reference<css::lang::XComponent>& document,
              const Word::TextFitLimits& limits,
              const std::vector<css::uno::Reference<css::text::XText>>& shapeTexts,
              const Word::TextFitPlan& plan = {});
