#pragma once

#include "collection/CollectorLink.h"
#include "host/CommandLink.h"
#include "host/DataLink.h"
#include "host/SenderNameResolver.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <thread>

namespace zuta {

class CPerformanceData;
class ICollectionView;
struct PerformanceSettings;

namespace host {
class IOutputWindow;
}

struct CollectionServices {
    CPerformanceData* data = nullptr;
    PerformanceSettings* settings = nullptr;
    host::IOutputWindow* output = nullptr; // status lines
    host::ICommandLink* commandLink = nullptr;
    host::IDataLink* dataLink = nullptr;
    host::ISenderNameResolver* resolver = nullptr; // none: the agent is never accepted
    ICollectionView* view = nullptr;
};

// How a start went. Started: the collection runs. Connecting: the link is being opened on a worker
// thread, the outcome follows as a notification. Busy: another collection uses the target link.
// NotConnected: the target cannot be reached. AlreadyRunning: a collection runs already, or the
// controller is shut down. Only Started changes anything.
enum class StartOutcome { Started, Connecting, Busy, NotConnected, AlreadyRunning };

// Start and stop of a collection as the performance view runs them, shared by the window and the
// command line. Owns the collector endpoint. Every operation runs on the view's thread; link
// threads reach the view only through ICollectionView. Several controllers (one per document) may
// share one link; one collection at a time uses it.
class CollectionController : private host::ILinkObserver {
public:
    // Services must outlive the controller; the data store must outlive it too.
    explicit CollectionController(const CollectionServices& services);
    ~CollectionController() override;
    CollectionController(const CollectionController&) = delete;
    CollectionController& operator=(const CollectionController&) = delete;

    // Copies the link ports from the settings (initial update, and after the settings changed).
    void ApplySettings();
    // The start of the command line: opens the link if need be (within the transport's time
    // limit, blocking), then starts. False (with a status line) when the target cannot be reached,
    // the link is in use by another collection, or a collection runs already.
    bool Start();
    // The window's start, which never blocks: with the link open it starts at once (Started or
    // Busy). Otherwise the link is opened on a worker thread and it returns Connecting (also while
    // an attempt runs); the outcome comes back as the view's notification 1795 with
    // kCodeTargetConnected or kCodeTargetNotConnected, and the view then calls ContinueStart on
    // its own thread.
    StartOutcome BeginStart();
    // After the outcome of BeginStart: `connected` is the notification's code. Connected: finishes
    // the start (Started, Busy, or NotConnected with "Target not connected" when the link went
    // away meanwhile). Not connected: "Target not connected" and NotConnected. The notice of an
    // abandoned attempt changes nothing: Connecting while another attempt runs, AlreadyRunning
    // during a collection, else NotConnected without a status line.
    StartOutcome ContinueStart(bool connected);
    // Abandons a pending attempt (Stop pressed, the view closes); returns soon, and its late
    // outcome is ignored.
    void CancelStart();
    bool connecting() const { return connectWorker_.joinable(); }
    // The view's stop command: the agent is told to stop, then the store closes the collection.
    void Stop();
    // Stop in two steps, for a window that lets the last batches arrive without blocking: the
    // agent is told and the receiver leaves the link; later the store closes the collection.
    void RequestStop();
    void FinishStop();
    // 2 starts the agent, 3 stops it; every code logs "Send Data to the Target".
    void SendCollectorCommand(std::uint32_t code);
    // "ConfigData" with the four PMU event numbers.
    void SendConfigData();
    // "TaskInfo" for a row during a collection; nothing is sent (false) unless the row is a task.
    bool SendTaskInfoRequest(std::uint32_t storeId);
    // The view's handling of notification 1795 on its own thread for the codes that concern the
    // collection (1, 3, 5, 1540, link closed); false for the codes the view handles itself. A
    // collection that must end is ended by `stop` (the window's own Stop), else by Stop.
    bool HandleStatusNotification(std::uint32_t code, const std::function<void()>& stop = {});
    // The view closes: a pending start is abandoned, "Terminating", stop, close the collection; no
    // delivery reaches the store once this returns.
    void Shutdown();

    bool collecting() const { return collecting_.load(); }
    CollectorLink& endpoint() { return *endpoint_; }
    void LogStatus(std::string_view text);

private:
    // The start on an open link.
    StartOutcome Launch();
    void OnLinkClosed() override;

    CollectionServices services_;
    std::unique_ptr<CollectorLink> endpoint_;
    std::atomic<bool> collecting_{false};
    std::atomic<bool> stopRequested_{false};
    bool shutDown_ = false;
    // What the last start sent, copied from the settings.
    std::uint32_t cpuType_ = 1;
    std::uint32_t apdcLowAddress_ = 0;
    std::uint32_t apdcHighAddress_ = 0;
    // Event numbers of the four PMU counters; no command of the module changes them.
    std::array<std::uint32_t, 4> pmuEvents_{};
    // What the worker's attempt to open the link came to; kOpenPending while it runs.
    static constexpr int kOpenPending = 0;
    static constexpr int kOpened = 1;
    static constexpr int kOpenFailed = 2;
    std::atomic<int> openResult_{kOpenPending};
    // Last: it uses the members above until it is joined.
    std::jthread connectWorker_;
};

} // namespace zuta
