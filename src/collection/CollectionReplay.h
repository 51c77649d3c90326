#pragma once

#include "collection/CollectionView.h"
#include "collection/CollectorLink.h"
#include "engine/Capture.h"
#include "host/CommandLink.h"
#include "host/SenderNameResolver.h"

#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

namespace zuta {

class CPerformanceData;

// Plays a capture file back through the collector endpoint, as the links delivered it: sender
// names fill the resolver, command-link messages go through OnReceive (identity check
// included), data-link blocks through the data-link receive path.
class CaptureReplayer {
public:
    // `view` may be null: the table hooks then do nothing.
    CaptureReplayer(CPerformanceData& data, std::uint32_t diagPort, std::uint32_t tlnPort,
                    ICollectionView* view = nullptr);
    ~CaptureReplayer();
    CaptureReplayer(const CaptureReplayer&) = delete;
    CaptureReplayer& operator=(const CaptureReplayer&) = delete;

    void Feed(const CaptureRecord& record);
    CollectorLink& endpoint() { return *endpoint_; }
    // The ports come from the capture: the first command-link message names the diag port, the
    // first message on the data-link port names that, whatever the settings of this replay hold.
    void TakePortsFromCapture() { portsFromCapture_ = true; }

private:
    // The recorded link: delivers what the capture holds and sends nowhere.
    class ReplayLink : public host::ICommandLink, public host::ISenderNameResolver {
    public:
        bool Open(std::stop_token) override { return true; }
        bool IsOpen() const override { return true; }
        bool SendCommand(std::string_view, std::string_view, std::string_view, const std::uint8_t*,
                         std::size_t, std::uint32_t) override {
            return false;
        }
        bool SendRaw(std::uint32_t, const std::uint8_t*, std::size_t) override { return false; }
        void Attach(host::CommandLinkEndpoint* endpoint) override;
        void Detach(host::CommandLinkEndpoint* endpoint) override;
        void AddObserver(host::ILinkObserver*) override {}
        void RemoveObserver(host::ILinkObserver*) override {}
        bool SenderName(std::uint16_t idA, std::uint16_t idB, std::string& name) const override;

        void AddName(std::uint16_t idA, std::uint16_t idB, std::string name);
        void Deliver(const host::HostMessage& message);

    private:
        mutable std::mutex mutex_;
        host::CommandLinkEndpoint* endpoint_ = nullptr;
        std::map<std::pair<std::uint16_t, std::uint16_t>, std::string> names_;
    };

    // Table hooks that do nothing, for a replay without a view.
    class QuietView : public ICollectionView {
    public:
        void PostNotification(std::uint32_t, std::uint32_t) override {}
        void RefreshTableNow() override {}
        void RunNewTaskData() override {}
        void ArmTableRefresh() override {}
    };

    ReplayLink link_;
    QuietView quietView_;
    std::unique_ptr<CollectorLink> endpoint_;
    bool portsFromCapture_ = false;
    bool diagPortKnown_ = false;
    bool tlnPortKnown_ = false;
};

} // namespace zuta
