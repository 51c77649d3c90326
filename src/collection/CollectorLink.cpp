#include "collection/CollectorLink.h"

#include "collection/CollectionView.h"
#include "engine/PerformanceData.h"
#include "engine/WireFormat.h"

#include <string>

namespace zuta {

namespace {

constexpr std::uint32_t kNoResult = 0xFFFFFFFFu;
// The link header bytes this endpoint reads: kind and the two sender identifiers.
constexpr std::size_t kIdentityBytes = wire::kLinkSenderBOffset + 2;

std::uint32_t PackIds(std::uint16_t a, std::uint16_t b) {
    return static_cast<std::uint32_t>(a) | (static_cast<std::uint32_t>(b) << 16);
}

} // namespace

CollectorLink::CollectorLink(host::ICommandLink& link, CPerformanceData& data,
                             host::ISenderNameResolver* resolver)
    : host::CommandLinkEndpoint(link), data_(data), resolver_(resolver) {
    Selector().Admit(host::kClassData);
    Selector().Admit(host::kClassReply);
    Selector().Admit(host::kClassTrace);
    AttachToLink();
}

CollectorLink::~CollectorLink() {
    DetachFromLink();
}

void CollectorLink::SetPorts(std::uint32_t diagPort, std::uint32_t tlnPort) {
    diagPort_.store(diagPort);
    tlnPort_.store(tlnPort);
}

std::pair<std::uint16_t, std::uint16_t> CollectorLink::agentIds() const {
    const std::uint32_t ids = agentIds_.load();
    return {static_cast<std::uint16_t>(ids), static_cast<std::uint16_t>(ids >> 16)};
}

void CollectorLink::ForgetAgent() {
    started_.store(false);
    agentIds_.store(0);
}

void CollectorLink::OnReceive(const host::HostMessage& message) {
    ICollectionView* view = view_.load();
    if (view == nullptr || !active_.load())
        return;
    std::uint32_t result = kNoResult;
    if (message.port == diagPort_.load()) {
        // A message too short to hold the kind and the sender is dropped rather than read past.
        if (message.payload == nullptr || message.length < kIdentityBytes)
            return;
        const std::uint16_t kind = wire::ReadU16(message.payload + wire::kLinkKindOffset);
        if (kind != wire::kLinkKindData && kind != wire::kLinkKindReply)
            return;
        const std::uint16_t idA = wire::ReadU16(message.payload + wire::kLinkSenderAOffset);
        const std::uint16_t idB = wire::ReadU16(message.payload + wire::kLinkSenderBOffset);
        const std::uint32_t stored = agentIds_.load();
        if (stored == 0) {
            std::string name;
            if (resolver_ == nullptr || !resolver_->SenderName(idA, idB, name) ||
                name != wire::kAgentIdentity)
                return;
            agentIds_.store(PackIds(idA, idB));
        } else if (stored != PackIds(idA, idB)) {
            return;
        }
        data_.OnCommandLinkMessage(message.payload, message.length, result);
        started_.store(true);
    } else if (message.port == tlnPort_.load()) {
        if (!started_.load())
            return;
        data_.OnDataLinkData(message.payload, message.length, result, false);
    } else {
        return;
    }
    ActOnResult(*view, result);
}

void CollectorLink::ActOnResult(ICollectionView& view, std::uint32_t result) {
    switch (result) {
    case wire::kMsgTaskInfo:
        view.RefreshTableNow();
        break;
    case 1:
        view.ArmTableRefresh();
        break;
    case wire::kMsgTcbBlock:
        view.PostNotification(host::kNotifyShowTcb, 0);
        break;
    default:
        break;
    }
}

void CollectorLink::HandleDataLinkBlock(const std::uint8_t* bytes, std::uint32_t length) {
    if (!started_.load())
        return;
    std::uint32_t result = kNoResult;
    data_.OnDataLinkData(bytes, length, result, true);
    ICollectionView* view = view_.load();
    if (view == nullptr)
        return;
    if (result == 1) {
        if (data_.NewTaskInBatch())
            view->RunNewTaskData();
        view->ArmTableRefresh();
    } else if (result == wire::kMsgTcbBlock) {
        view->PostNotification(host::kNotifyShowTcb, 0);
    }
}

void CollectorLink::ReceiveDataLinkBlock(void* context, const std::uint8_t* bytes,
                                         std::uint32_t length) {
    static_cast<CollectorLink*>(context)->HandleDataLinkBlock(bytes, length);
}

} // namespace zuta
