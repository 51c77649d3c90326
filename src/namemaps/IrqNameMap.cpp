#include "namemaps/IrqNameMap.h"

#include "host/SettingsStore.h"
#include "host/SettingsText.h"

#include <array>
#include <string_view>

namespace zuta {

namespace {

constexpr std::array<std::string_view, 76> kDefaultNames = {
    "SWSRC_0",        "SWSRC_1",       "SWSRC_2",     "SWSRC_3",     "FrameInt", "SSP",
    "SWSRC_6",        "SWSRC_7",       "SWSRC_8",     "GSMIRQCTRL",  "SWSRC_10", "SWSRC_11",
    "SWSRC_12",       "SWSRC_13",      "SWSRC_14",    "SWSRC_15",    "RISRC_0",  "RISRC_1",
    "RISRC_2",        "RISRC_3",       "RISRC_4",     "RISRC_5",     "RISRC_6",  "RISRC_7",
    "XSWISRC_0",      "EIRQ0",         "EIRQ1",       "EIRQ2",       "DMAC30",   "DMAC31",
    "DMAC32",         "DMAC33",        "DMAC34",      "DMAC35",      "DMAC36",   "DMAC37",
    "DMAC20",         "DSPP3",         "DMAC22",      "DMAC23",      "DMAC24",   "DMAC25",
    "DMAC26",         "DMAC27",        "SlowCLKSanp", "HWEarlyWKUP", "HWGSSP1",  "HWGSSP2",
    "RESERVED",       "HWMSL",         "HWEXTPAD1",   "HWEXTPAD2",   "HWUSIM",   "HWI2C",
    "SRCIPCDATAACK",  "IpcDatBuffAck", "SRCIPCRD",    "SRCIPCACK",   "SRCIPCGP", "HWCPMU",
    "HWTCUEXCP",      "HWRTU0",        "HWRTU1",      "HWRTU2",      "Tmr1",     "Tmr2",
    "Tmr3BkUp",       "Tmr4BkUp",      "TmrWDT",      "ECIPHER",     "TCU_GPOB", "ADPC",
    "END_SLEEP_BKUP", "TCU_CLK_EN",    "CL_GB_HINT",  "SRC_CIPHER",
};

} // namespace

bool IrqNameMap::Load() {
    // The map mirrors the store, so numbers keep running from 0 without gaps.
    names_.clear();
    if (store_ == nullptr)
        return false;
    for (std::uint32_t i = 0; i < kMaxEntries; ++i) {
        std::string name = store_->ReadString(kSection, host::FormatSettingsInt(i));
        if (name.empty())
            break;
        names_[i] = std::move(name);
    }
    return !names_.empty();
}

void IrqNameMap::LoadOrDefaults() {
    if (!Load())
        LoadDefaults();
}

void IrqNameMap::LoadDefaults() {
    names_.clear();
    for (std::uint32_t i = 0; i < kDefaultNames.size(); ++i)
        names_.emplace(i, kDefaultNames[i]);
}

void IrqNameMap::Save() {
    if (store_ == nullptr)
        return;
    for (const auto& [number, name] : names_)
        store_->WriteString(kSection, host::FormatSettingsInt(number), name);
    store_->Commit();
}

bool IrqNameMap::Lookup(std::uint32_t number, std::string& name) const {
    const auto found = names_.find(number);
    name = found == names_.end() ? std::string() : found->second;
    return !name.empty();
}

bool IrqNameMap::SetName(std::uint32_t number, const std::string& name) {
    const auto found = names_.find(number);
    if (number >= names_.size() || found == names_.end())
        return false;
    found->second = name;
    return true;
}

} // namespace zuta
