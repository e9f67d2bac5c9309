#pragma once

#include "generate/word.h"

#include <memory>

// How long the engine waits for the office. Tests shorten them to see a hung
// office handled without waiting a minute.
struct OfficeEngineLimits
{
    int connectMilliseconds = 60000;
    int callMilliseconds = 60000;
    // The office keeps caches that grow with every document it has loaded;
    // after this many applications it is ended and started afresh while the
    // program is idle. 0 keeps it for the whole run.
    int recycleAfterApplications = 40;
};

// `text` without what a Word document cannot hold as text: the control
// characters other than tab, line feed and carriage return (Word gives them
// meanings of its own, such as cell and field marks), unpaired surrogates
// (which also break the connection to the office) and the noncharacters
// U+FFFE and U+FFFF. Everything else is kept exactly.
QString storableText(const QString& text);

// The document engine on a private, hidden LibreOffice process: started by
// prepare() or the first createApplication(), kept warm between applications,
// ended with the engine (and with the program, however it ends).
std::shared_ptr<Word::Engine> createOfficeEngine(OfficeEngineLimits limits = {});

// The page picture's size in pixels: US Letter at 15 twips per pixel would be
// 816 x 1056; this size fits the preview's 633 x 893 pixel page at zoom 1.0
// with the page's own proportions.
inline constexpr int kPagePictureWidth = 633;
inline constexpr int kPagePictureHeight = 819;
