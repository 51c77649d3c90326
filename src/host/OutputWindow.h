#pragma once

#include <string_view>

namespace zuta::host {

// The host's output window. Called from any thread; the text is copied before the call returns.
class IOutputWindow {
public:
    virtual ~IOutputWindow() = default;
    // A status line; the implementation adds the line end.
    virtual void WriteStatusLine(std::string_view text) = 0;
    // Raw text, written as it stands (no line end added).
    virtual void WriteRawText(std::string_view text) = 0;
};

} // namespace zuta::host
