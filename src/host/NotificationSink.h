#pragma once

#include <cstdint>

namespace zuta::host {

// Command identifiers of the notifications that cross from link threads to the view.
inline constexpr std::uint32_t kNotifyStatus = 1795;  // second parameter: a status code
inline constexpr std::uint32_t kNotifyShowTcb = 1539; // show the task control block

// Status codes carried by kNotifyStatus.
inline constexpr std::uint32_t kCodeVtuneFileCreated = 0;
inline constexpr std::uint32_t kCodeCorruptedData = 1;
inline constexpr std::uint32_t kCodeNewTaskData = 2;
inline constexpr std::uint32_t kCodeTaskInfoCorrupted = 3;
inline constexpr std::uint32_t kCodeSamplingFlagsChanged = 4;
inline constexpr std::uint32_t kCodeDataReceived = 5;
inline constexpr std::uint32_t kCodeTaskDataProcessed = 1540;

// Receives notifications posted to the view window. Called from any thread; an implementation
// that touches widgets must queue the call to its own thread.
class INotificationSink {
public:
    virtual ~INotificationSink() = default;
    virtual void PostNotification(std::uint32_t command, std::uint32_t code) = 0;
};

} // namespace zuta::host
