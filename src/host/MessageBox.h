#pragma once

#include <string_view>

namespace zuta::host {

enum class MessageIcon { Information, Warning, Error, Question };

enum class MessageButtons { Ok, OkCancel, YesNo };

enum class MessageResult { Ok, Cancel, Yes, No };

// Modal message boxes; tests answer them with a scripted implementation.
class IMessageBox {
public:
    virtual ~IMessageBox() = default;
    virtual MessageResult Show(std::string_view text, std::string_view caption, MessageIcon icon,
                               MessageButtons buttons = MessageButtons::Ok) = 0;
};

} // namespace zuta::host
