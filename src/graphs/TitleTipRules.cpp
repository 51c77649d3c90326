#include "graphs/TitleTipRules.h"

namespace zuta::graphs {

TipShow DecideTipShow(const Rect& rect, bool tipVisible, bool applicationFocused) {
    if (rect.empty()) {
        return TipShow::Ignore;
    }
    if (tipVisible || !applicationFocused) {
        return TipShow::KeepStay;
    }
    return TipShow::Place;
}

Rect TipWindowRect(const Rect& rectOnScreen, int textOffset, int textWidth, int overhang) {
    const int left = rectOnScreen.left + textOffset;
    return {left, rectOnScreen.top, left + textWidth + overhang + textOffset, rectOnScreen.bottom};
}

std::string TipText(const std::string& text) {
    return " " + text + " ";
}

} // namespace zuta::graphs
