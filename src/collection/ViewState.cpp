#include "collection/ViewState.h"

namespace zuta {

bool ViewState::IsEnabled(EnableRule rule) const {
    switch (rule) {
    case EnableRule::CanStart:
        return flags_.canStart;
    case EnableRule::CanStop:
        return flags_.collecting || phase_ == ViewPhase::Connecting;
    case EnableRule::CanSave:
        return flags_.canSave;
    case EnableRule::CanLoad:
        return flags_.canLoad;
    case EnableRule::CanShowGraphs:
        return flags_.canShowGraphs;
    case EnableRule::CanShowFunctionGraph:
        return flags_.canShowFunctionGraph;
    case EnableRule::CanRunVtune:
        return flags_.canRunVtune;
    case EnableRule::Always:
        return true;
    case EnableRule::Never:
        return false;
    }
    return false;
}

void ViewState::Initialise() {
    flags_ = ViewFlags{};
    flags_.canStart = true;
    flags_.canLoad = true;
    phase_ = ViewPhase::Idle;
    fromRawLog_ = false;
}

void ViewState::DataOpened(bool fromRawLog) {
    flags_.canShowGraphs = true;
    flags_.canShowFunctionGraph = true;
    fromRawLog_ = fromRawLog;
}

bool ViewState::BeginConnecting() {
    if (!flags_.canStart || phase_ != ViewPhase::Idle)
        return false;
    beforeConnect_ = flags_;
    flags_.canStart = false;
    flags_.canSave = false;
    flags_.canLoad = false;
    phase_ = ViewPhase::Connecting;
    return true;
}

void ViewState::ConnectFailed() {
    if (phase_ != ViewPhase::Connecting)
        return;
    flags_ = beforeConnect_;
    phase_ = ViewPhase::Idle;
}

bool ViewState::Started() {
    if (phase_ != ViewPhase::Connecting && (!flags_.canStart || phase_ != ViewPhase::Idle))
        return false;
    fromRawLog_ = false;
    flags_.canRunVtune = false;
    flags_.canShowFunctionGraph = false;
    flags_.canStart = false;
    flags_.canSave = false;
    flags_.canLoad = false;
    flags_.canShowGraphs = true;
    flags_.collecting = true;
    phase_ = ViewPhase::Collecting;
    return true;
}

void ViewState::StopRequested() {
    // Until the collection is closed nothing starts, opens or saves: those wait for the figures.
    flags_.canRunVtune = false;
    flags_.collecting = false;
    phase_ = ViewPhase::Stopping;
}

void ViewState::Stopped() {
    flags_.canRunVtune = false;
    flags_.collecting = false;
    flags_.canShowGraphs = true;
    flags_.canShowFunctionGraph = true;
    flags_.canStart = true;
    flags_.canSave = true;
    flags_.canLoad = true;
    phase_ = ViewPhase::Idle;
}

void ViewState::VtuneFileCreated() {
    flags_.canStart = true;
    flags_.canRunVtune = true;
}

} // namespace zuta
