#pragma once

#include "graphs/GradientBar.h"

#include <string>

namespace zuta::graphs {

// Whether a Show call puts the tip on screen: never for an empty rectangle, not again while the
// tip is up (only its stay rectangle changes), and not while the application has no focus.
enum class TipShow { Ignore, KeepStay, Place };
TipShow DecideTipShow(const Rect& rect, bool tipVisible, bool applicationFocused);

// Where the tip goes on screen: at the rectangle, `textOffset` further right, as wide as the
// text plus the offset and as high as the rectangle.
Rect TipWindowRect(const Rect& rectOnScreen, int textOffset, int textWidth, int overhang);

// The text shown: the given text between two blanks.
std::string TipText(const std::string& text);

} // namespace zuta::graphs
