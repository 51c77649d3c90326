#pragma once

#include "host/NotificationSink.h"

namespace zuta {

// What collection control needs from the performance view. Every call may come from a link
// delivery thread: an implementation queues the work to its window thread and touches no widget
// in the call itself. Notifications (1795 with a status code, 1539) arrive as PostNotification.
class ICollectionView : public host::INotificationSink {
public:
    // New task information arrived: stop the table refresh timer, then rebuild the rows now.
    virtual void RefreshTableNow() = 0;
    // A batch created records (new IRQs): rebuild the rows now.
    virtual void RunNewTaskData() = 0;
    // Arm the one-shot table refresh timer (500 ms) unless it is armed already.
    virtual void ArmTableRefresh() = 0;
};

} // namespace zuta
