#pragma once

#include "host/MessageBox.h"
#include "host/NotificationSink.h"
#include "host/OutputWindow.h"

#include <algorithm>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zuta::test {

using PostedNotification = std::pair<std::uint32_t, std::uint32_t>; // command, code

// Records every notification posted through `Interface`, from any thread: the store and the links
// post from their delivery threads while the test reads.
template <class Interface = host::INotificationSink> class BasicRecordingSink : public Interface {
public:
    void PostNotification(std::uint32_t command, std::uint32_t code) override {
        std::lock_guard lock(mutex_);
        posted_.emplace_back(command, code);
    }

    std::vector<PostedNotification> Posted() const {
        std::lock_guard lock(mutex_);
        return posted_;
    }
    // Status notifications with this code.
    std::size_t Count(std::uint32_t code) const {
        std::size_t n = 0;
        for (const auto& [command, c] : Posted())
            n += command == host::kNotifyStatus && c == code;
        return n;
    }
    std::size_t CountCommand(std::uint32_t command) const {
        std::size_t n = 0;
        for (const auto& posted : Posted())
            n += posted.first == command;
        return n;
    }

private:
    mutable std::mutex mutex_;
    std::vector<PostedNotification> posted_;
};

using RecordingSink = BasicRecordingSink<>;

// Records the output window's status lines and raw text, from any thread.
class RecordingOutput : public host::IOutputWindow {
public:
    void WriteStatusLine(std::string_view text) override {
        std::lock_guard lock(mutex_);
        status_.emplace_back(text);
    }
    void WriteRawText(std::string_view text) override {
        std::lock_guard lock(mutex_);
        raw_.emplace_back(text);
    }

    std::vector<std::string> Status() const {
        std::lock_guard lock(mutex_);
        return status_;
    }
    std::size_t CountStatus(const std::string& text) const {
        const std::vector<std::string> lines = Status();
        return static_cast<std::size_t>(std::count(lines.begin(), lines.end(), text));
    }
    // Position of the first status line equal to `text` at or after `from`, or npos.
    std::size_t IndexOf(const std::string& text, std::size_t from = 0) const {
        const std::vector<std::string> lines = Status();
        for (std::size_t i = from; i < lines.size(); ++i)
            if (lines[i] == text)
                return i;
        return std::string::npos;
    }
    // The raw text in the pieces it was written in.
    std::vector<std::string> RawWrites() const {
        std::lock_guard lock(mutex_);
        return raw_;
    }
    // The raw text as the window shows it.
    std::string Raw() const {
        std::string text;
        for (const std::string& piece : RawWrites())
            text += piece;
        return text;
    }
    void Clear() {
        std::lock_guard lock(mutex_);
        status_.clear();
        raw_.clear();
    }

private:
    mutable std::mutex mutex_;
    std::vector<std::string> status_;
    std::vector<std::string> raw_;
};

struct ShownBox {
    std::string text;
    std::string caption;
    host::MessageIcon icon;
};

// Records the message boxes shown and answers each with Ok. Boxes are shown on the caller's
// thread, which in a test is the test's own.
class RecordingMessageBox : public host::IMessageBox {
public:
    host::MessageResult Show(std::string_view text, std::string_view caption,
                             host::MessageIcon icon, host::MessageButtons) override {
        shown.push_back({std::string(text), std::string(caption), icon});
        return host::MessageResult::Ok;
    }
    std::vector<ShownBox> shown;
};

} // namespace zuta::test
