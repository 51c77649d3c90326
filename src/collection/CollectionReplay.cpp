#include "collection/CollectionReplay.h"

#include "engine/WireFormat.h"

namespace zuta {

void CaptureReplayer::ReplayLink::Attach(host::CommandLinkEndpoint* endpoint) {
    std::lock_guard lock(mutex_);
    endpoint_ = endpoint;
}

void CaptureReplayer::ReplayLink::Detach(host::CommandLinkEndpoint* endpoint) {
    std::lock_guard lock(mutex_);
    if (endpoint_ == endpoint)
        endpoint_ = nullptr;
}

bool CaptureReplayer::ReplayLink::SenderName(std::uint16_t idA, std::uint16_t idB,
                                             std::string& name) const {
    std::lock_guard lock(mutex_);
    const auto found = names_.find({idA, idB});
    if (found == names_.end())
        return false;
    name = found->second;
    return true;
}

void CaptureReplayer::ReplayLink::AddName(std::uint16_t idA, std::uint16_t idB, std::string name) {
    std::lock_guard lock(mutex_);
    names_[{idA, idB}] = std::move(name);
}

void CaptureReplayer::ReplayLink::Deliver(const host::HostMessage& message) {
    host::CommandLinkEndpoint* endpoint = nullptr;
    {
        std::lock_guard lock(mutex_);
        endpoint = endpoint_;
    }
    if (endpoint != nullptr)
        endpoint->Deliver(message);
}

CaptureReplayer::CaptureReplayer(CPerformanceData& data, std::uint32_t diagPort,
                                 std::uint32_t tlnPort, ICollectionView* view)
    : endpoint_(std::make_unique<CollectorLink>(link_, data, &link_)) {
    endpoint_->SetPorts(diagPort, tlnPort);
    endpoint_->SetView(view != nullptr ? view : &quietView_);
    // The capture is of one collection, taken in from start to end.
    endpoint_->SetActive(true);
}

CaptureReplayer::~CaptureReplayer() = default;

void CaptureReplayer::Feed(const CaptureRecord& record) {
    switch (record.kind) {
    case CaptureKind::SenderName:
        if (record.bytes.size() >= 4)
            link_.AddName(wire::ReadU16(record.bytes.data()),
                          wire::ReadU16(record.bytes.data() + 2),
                          std::string(record.bytes.begin() + 4, record.bytes.end()));
        break;
    case CaptureKind::CommandMessage:
    case CaptureKind::DataPortMessage:
        if (portsFromCapture_) {
            bool& known =
                record.kind == CaptureKind::CommandMessage ? diagPortKnown_ : tlnPortKnown_;
            if (!known) {
                known = true;
                if (record.kind == CaptureKind::CommandMessage)
                    endpoint_->SetPorts(record.port, endpoint_->tlnPort());
                else
                    endpoint_->SetPorts(endpoint_->diagPort(), record.port);
            }
        }
        link_.Deliver({record.port, host::kClassReply, record.bytes.data(),
                       static_cast<std::uint32_t>(record.bytes.size())});
        break;
    case CaptureKind::DataBlock:
        endpoint_->HandleDataLinkBlock(record.bytes.data(),
                                       static_cast<std::uint32_t>(record.bytes.size()));
        break;
    }
}

} // namespace zuta
