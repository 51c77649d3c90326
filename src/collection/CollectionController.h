#pragma once

#include "collection/CollectorLink.h"
#include "host/CommandLink.h"
#include "host/DataLink.h"
#include "host/SenderNameResolver.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string_view>

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

// Start and stop of a collection as the performance view runs them, shared by the window and the
// command line. Owns the collector endpoint. Every operation runs on the view's thread; link
// threads reach the view only through ICollectionView.
class CollectionController : private host::ILinkObserver {
public:
    // Services must outlive the controller; the data store must outlive it too.
    explicit CollectionController(const CollectionServices& services);
    ~CollectionController() override;
    CollectionController(const CollectionController&) = delete;
    CollectionController& operator=(const CollectionController&) = delete;

    // Copies the link ports from the settings (initial update, and after the settings changed).
    void ApplySettings();
    // The view's start command; false (with a status line) when the link to the target cannot be
    // opened or a collection runs already.
    bool Start();
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
    // collection (1, 3, 5, 1540, link closed); false for the codes the view handles itself.
    bool HandleStatusNotification(std::uint32_t code);
    // The view closes: "Terminating", stop, close the collection; no delivery reaches the store
    // once this returns.
    void Shutdown();

    bool collecting() const { return collecting_.load(); }
    CollectorLink& endpoint() { return *endpoint_; }
    void LogStatus(std::string_view text);

private:
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
};

} // namespace zuta
