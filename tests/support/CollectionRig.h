#pragma once

#include "StoreServices.h"
#include "Wait.h"
#include "collection/CollectionController.h"
#include "collection/CollectionView.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace zuta::test {

// The view's side of collection control, recorded: notifications and table hooks, from any
// thread.
class RecordingView : public BasicRecordingSink<ICollectionView> {
public:
    void RefreshTableNow() override { ++refreshNow; }
    void RunNewTaskData() override {}
    void ArmTableRefresh() override {}

    // Hands every status notification not handled yet to the controller, as the view's window
    // thread does with its queued messages. Called from the test's thread only.
    void Dispatch(CollectionController& controller) {
        const std::vector<PostedNotification> posted = Posted();
        for (std::size_t i = dispatched_; i < posted.size(); ++i)
            if (posted[i].first == host::kNotifyStatus)
                controller.HandleStatusNotification(posted[i].second);
        dispatched_ = posted.size();
    }

    std::atomic<int> refreshNow{0};

private:
    std::size_t dispatched_ = 0;
};

// A data store wired as the performance view wires it for collection control, sampling in
// `samplingMode` (0 full, 3 external timestamps, anything else simple), in a dump folder of its
// own.
struct StoreRig : StoreServices {
    explicit StoreRig(std::uint32_t samplingMode = 0) {
        settings.simpleMode = samplingMode != 0;
        settings.externalTsMode = samplingMode == 3;
        Connect(data, view);
        data.SetSimpleMode(settings.simpleMode);
        data.SetExternalTsMode(settings.externalTsMode);
        data.SetIdleTaskName(settings.idleTaskName);
    }

    // What collection control needs, over these links.
    CollectionServices Collection(host::ICommandLink* commandLink, host::IDataLink* dataLink,
                                  host::ISenderNameResolver* resolver) {
        return {.data = &data,
                .settings = &settings,
                .output = &output,
                .commandLink = commandLink,
                .dataLink = dataLink,
                .resolver = resolver,
                .view = &view};
    }

    RecordingView view;
    CPerformanceData data;
};

} // namespace zuta::test
