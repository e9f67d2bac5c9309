#pragma once

// The settings of a window's mouse pointer. Template filling asks its host for
// them without knowing any window; the window kit's WindowPointer shows them.
struct PointerSetting
{
    enum Setting { Default = 0, Hourglass = 11, Custom = 99 };
};
