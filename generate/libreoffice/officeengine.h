#pragma once

#include "generate/word.h"

#include <memory>

// The document engine on a private, hidden LibreOffice process.
std::shared_ptr<Word::Engine> createOfficeEngine();
