#pragma once

#include "engine/MemoryStatsTable.h"
#include "engine/PerformanceData.h"
#include "files/SessionFile.h"
#include "host/MessageBox.h"
#include "host/NotificationSink.h"
#include "settings/PerformanceSettings.h"

#include <cstdint>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zuta {

class CollectionSession;

// Opens a session file or raw log for a collection session without touching the session's
// collection until the file has been read: the file goes into a store of its own, with its own
// copy of the settings and its own memory statistics table. Read may run on any thread while the
// session goes on being used (a window stays responsive during a long load); Adopt puts the
// result in place on the session's thread. A read that fails or is stopped leaves the session as
// it was. The message boxes and notifications the reader raises are held back and reach the
// session's services only through Adopt or ShowMessages.
class StagedOpen {
public:
    // Takes the session's configuration (settings, idle task name, counter scheme, modes) now.
    StagedOpen(CollectionSession& session, std::string path, bool rawLog);
    StagedOpen(const StagedOpen&) = delete;
    StagedOpen& operator=(const StagedOpen&) = delete;

    // Reads the file. `progress` hears the bytes read and the file's size after every slice; a
    // stop request ends the reading at the next slice and gives false. False with error() set
    // ("'<path>': <reason>") when the file gave nothing.
    bool Read(std::stop_token stop = {}, const LoadProgress& progress = {});

    // The session's thread, after Read gave true: the session's store takes the file's content
    // (its old content comes here, freed when this goes), the settings the sampling modes and
    // clock the file set, the memory statistics table and the function name map what the file
    // taught; the held-back notifications are posted.
    void Adopt();
    // The session's thread, after Read gave false: shows the message boxes the reader raised.
    void ShowMessages();

    const std::string& path() const { return path_; }
    bool rawLog() const { return rawLog_; }
    const std::string& error() const { return error_; }
    // What the reader found wrong without failing, each naming the file.
    const std::vector<std::string>& warnings() const { return warnings_; }

private:
    // The reader's message boxes and notifications, recorded on the reading thread.
    class HeldBack final : public host::IMessageBox, public host::INotificationSink {
    public:
        host::MessageResult Show(std::string_view text, std::string_view caption,
                                 host::MessageIcon icon, host::MessageButtons buttons) override;
        void PostNotification(std::uint32_t command, std::uint32_t code) override;

        struct Box {
            std::string text;
            std::string caption;
            host::MessageIcon icon;
            host::MessageButtons buttons;
        };
        std::vector<Box> TakeBoxes();
        std::vector<std::pair<std::uint32_t, std::uint32_t>> TakeNotifications();

    private:
        std::mutex mutex_;
        std::vector<Box> boxes_;
        std::vector<std::pair<std::uint32_t, std::uint32_t>> notifications_;
    };

    CollectionSession& session_;
    std::string path_;
    bool rawLog_;
    PerformanceSettings settings_;
    MemoryStatsTable memoryStats_;
    HeldBack heldBack_;
    CPerformanceData store_;
    std::string error_;
    std::vector<std::string> warnings_;
};

} // namespace zuta
