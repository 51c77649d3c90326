#include "collection/CollectionController.h"

#include "collection/CollectionView.h"
#include "engine/PerformanceData.h"
#include "engine/WireEncoder.h"
#include "engine/WireFormat.h"
#include "host/OutputWindow.h"
#include "settings/PerformanceSettings.h"

namespace zuta {

CollectionController::CollectionController(const CollectionServices& services)
    : services_(services), endpoint_(std::make_unique<CollectorLink>(
                               *services.commandLink, *services.data, services.resolver)) {
    endpoint_->SetView(services_.view);
    ApplySettings();
    services_.commandLink->AddObserver(this);
}

CollectionController::~CollectionController() {
    Shutdown();
    endpoint_.reset();
}

void CollectionController::ApplySettings() {
    if (services_.settings != nullptr)
        endpoint_->SetPorts(services_.settings->diagPort, services_.settings->tlnPort);
}

void CollectionController::LogStatus(std::string_view text) {
    if (services_.output != nullptr)
        services_.output->WriteStatusLine(text);
}

bool CollectionController::Start() {
    if (collecting_.load() || shutDown_ || connecting())
        return false;
    if (!services_.commandLink->Open({})) {
        LogStatus("Target not connected");
        return false;
    }
    return Launch() == StartOutcome::Started;
}

StartOutcome CollectionController::BeginStart() {
    if (collecting_.load() || shutDown_)
        return StartOutcome::AlreadyRunning;
    if (connecting()) {
        if (openResult_.load() == kOpenPending)
            return StartOutcome::Connecting;
        // The attempt is over but its outcome was never taken up: this start begins afresh.
        connectWorker_.join();
    }
    if (services_.commandLink->IsOpen())
        return Launch();
    openResult_.store(kOpenPending);
    connectWorker_ = std::jthread([this](std::stop_token stop) {
        const bool opened = services_.commandLink->Open(stop);
        openResult_.store(opened ? kOpened : kOpenFailed);
        if (!stop.stop_requested() && services_.view != nullptr)
            services_.view->PostNotification(host::kNotifyStatus,
                                             opened ? host::kCodeTargetConnected
                                                    : host::kCodeTargetNotConnected);
    });
    return StartOutcome::Connecting;
}

StartOutcome CollectionController::ContinueStart(bool connected) {
    if (!connecting())
        return collecting_.load() ? StartOutcome::AlreadyRunning : StartOutcome::NotConnected;
    // A notice that does not tell this attempt's outcome was posted by an abandoned one: this
    // attempt's own notice is still to come.
    const int result = openResult_.load();
    if (result == kOpenPending || (result == kOpened) != connected)
        return StartOutcome::Connecting;
    connectWorker_.join();
    if (!connected || !services_.commandLink->IsOpen()) {
        LogStatus("Target not connected");
        return StartOutcome::NotConnected;
    }
    return Launch();
}

void CollectionController::CancelStart() {
    if (!connectWorker_.joinable())
        return;
    connectWorker_.request_stop();
    connectWorker_.join();
}

StartOutcome CollectionController::Launch() {
    ApplySettings();
    // A late answer of the previous run must not count as this run's answer.
    endpoint_->ForgetAgent();
    // Holding the data link's one receiver makes this the collection of the link.
    if (!services_.dataLink->RegisterReceiver(&CollectorLink::ReceiveDataLinkBlock, nullptr,
                                              host::kDataLinkBlockSize, endpoint_.get())) {
        LogStatus("The target link is in use by another collection");
        return StartOutcome::Busy;
    }
    if (services_.settings != nullptr && services_.settings->cpuType == 0)
        SendConfigData();
    // The store is reset before anything is taken in: blocks are dropped until the agent's answer
    // was accepted, and answers reach only an active endpoint.
    services_.data->StartCollection();
    endpoint_->SetActive(true);
    collecting_.store(true);
    SendCollectorCommand(2);
    return StartOutcome::Started;
}

void CollectionController::Stop() {
    RequestStop();
    FinishStop();
}

void CollectionController::RequestStop() {
    if (collecting_.load() && !stopRequested_.exchange(true))
        SendCollectorCommand(3);
}

void CollectionController::FinishStop() {
    if (!collecting_.load())
        return;
    endpoint_->SetActive(false);
    services_.data->FinishCollection();
    collecting_.store(false);
    stopRequested_.store(false);
}

void CollectionController::SendCollectorCommand(std::uint32_t code) {
    LogStatus("Send Data to the Target");
    if (code == 2) {
        LogStatus("Open TLN");
        // The wake-up byte goes out on the data-link port, then the mask is put back.
        const std::uint32_t saved = endpoint_->PortMask();
        const std::uint32_t tlnPort = endpoint_->tlnPort();
        if (tlnPort <= 3)
            endpoint_->SetPortMask(0x02u << tlnPort);
        const std::uint8_t wake = wire::kDataLinkWakeByte;
        endpoint_->SendRaw(&wake, 1);
        endpoint_->SetPortMask(saved);

        if (services_.settings != nullptr) {
            cpuType_ = services_.settings->cpuType;
            apdcLowAddress_ = services_.settings->apdcLowAddress;
            apdcHighAddress_ = services_.settings->apdcHighAddress;
        }
        const std::uint32_t mode =
            services_.settings != nullptr ? services_.settings->SamplingMode() : wire::kModeNormal;
        const wire::Bytes payload = wire::StartPayload(apdcLowAddress_, apdcHighAddress_, mode);
        endpoint_->SendCommand(wire::kAgentName, wire::kGroupName, wire::kCmdStart, payload.data(),
                               payload.size(), 0);
        LogStatus("DC Started");
    } else if (code == 3) {
        services_.dataLink->UnregisterReceiver(endpoint_.get());
        endpoint_->ForgetAgent();
        endpoint_->SendCommand(wire::kAgentName, wire::kGroupName, wire::kCmdStop, nullptr, 0, 0);
    }
}

void CollectionController::SendConfigData() {
    const wire::Bytes payload =
        wire::WordsPayload({pmuEvents_[0], pmuEvents_[1], pmuEvents_[2], pmuEvents_[3]});
    endpoint_->SendCommand(wire::kAgentName, wire::kGroupName, wire::kCmdConfigData, payload.data(),
                           payload.size(), 0);
}

bool CollectionController::SendTaskInfoRequest(std::uint32_t storeId) {
    if (!collecting_.load() || storeId < wire::kTaskIdBase ||
        services_.data->GetTaskType(storeId) != kTypeTask)
        return false;
    const wire::Bytes payload = wire::TaskInfoRequestPayload(storeId - wire::kTaskIdBase);
    return endpoint_->SendCommand(wire::kAgentName, wire::kGroupName, wire::kCmdTaskInfo,
                                  payload.data(), payload.size(), 0);
}

bool CollectionController::HandleStatusNotification(std::uint32_t code,
                                                    const std::function<void()>& stop) {
    // Several bad batches or closing notices may be queued; the first one ends the collection.
    const bool running = collecting_.load() && !stopRequested_.load();
    const auto stopCollection = [&] {
        if (stop)
            stop();
        else
            Stop();
    };
    switch (code) {
    case host::kCodeCorruptedData:
        if (running) {
            stopCollection();
            LogStatus("Corrupted data received");
        }
        return true;
    case host::kCodeTaskInfoCorrupted:
        LogStatus("Task Info data corrupted");
        return true;
    case host::kCodeDataReceived:
        LogStatus("data received");
        return true;
    case host::kCodeTaskDataProcessed:
        LogStatus("Task data is processed");
        return true;
    case host::kCodeLinkClosed:
        // What arrived before the link went away stays; Start opens the link again.
        if (running) {
            LogStatus("Target link lost");
            stopCollection();
        }
        return true;
    default:
        return false;
    }
}

void CollectionController::Shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    CancelStart();
    LogStatus("Terminating");
    // Only a collection of this view is stopped: another document may be collecting on the link.
    if (collecting_.load())
        SendCollectorCommand(3);
    // No message or block reaches the store after this: the receiver is gone (it is held only
    // until the agent is told to stop) and the endpoint is off the link.
    endpoint_->SetActive(false);
    endpoint_->Disconnect();
    services_.commandLink->RemoveObserver(this);
    services_.data->FinishCollection();
    collecting_.store(false);
}

void CollectionController::OnLinkClosed() {
    if (services_.view != nullptr)
        services_.view->PostNotification(host::kNotifyStatus, host::kCodeLinkClosed);
}

} // namespace zuta
