#include "namemaps/IrqNameMap.h"

#include "host/IniSettingsStore.h"
#include "host/MemorySettingsStore.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <map>

namespace zuta {
namespace {

using host::MemorySettingsStore;

constexpr const char* kSection = IrqNameMap::kSection;

std::map<std::uint32_t, std::string> Defaults() {
    IrqNameMap map;
    map.LoadDefaults();
    return map.entries();
}

void StoreNames(MemorySettingsStore& store, std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t i = from; i < to; ++i)
        store.WriteString(kSection, std::to_string(i), "N" + std::to_string(i));
}

// Names are read from "0" up to the first empty value, at most 256 of them; without any the
// defaults are used. Loading writes nothing.
TEST(IrqNameMap, LoadRules) {
    constexpr std::uint32_t kNone = 999;
    const struct {
        const char* name;
        std::uint32_t stored;
        std::uint32_t emptied;
        std::size_t loaded;
    } cases[] = {{"empty store", 0, kNone, 0},
                 {"up to the first empty value", 7, 5, 5},
                 {"at most 256", 300, kNone, 256},
                 {"empty first value", 10, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySettingsStore store;
        StoreNames(store, 0, c.stored);
        if (c.emptied != kNone)
            store.WriteString(kSection, std::to_string(c.emptied), "");
        const std::size_t writes = store.writeCount();
        IrqNameMap map(&store);
        map.LoadDefaults(); // replaced by what is loaded
        EXPECT_EQ(map.Load(), c.loaded > 0);
        ASSERT_EQ(map.size(), c.loaded);
        if (c.loaded > 0) {
            EXPECT_EQ(map.entries().rbegin()->second, "N" + std::to_string(c.loaded - 1));
        }
        map.LoadOrDefaults();
        EXPECT_EQ(map.entries().size(), c.loaded > 0 ? c.loaded : 76u);
        EXPECT_EQ(store.writeCount(), writes);
        EXPECT_EQ(store.commitCount(), 0u);
    }
}

// Names are set only within the table; the saved table replaces the defaults.
TEST(IrqNameMap, SavedNamesReplaceTheDefaultsThroughAFile) {
    test::TempFolder dir;
    const std::string path = dir / "settings.ini";
    {
        host::IniSettingsStore store(path);
        IrqNameMap map(&store);
        map.LoadOrDefaults();
        EXPECT_FALSE(map.SetName(76, "Extra"));
        ASSERT_TRUE(map.SetName(9, "GSM IRQ control"));
        map.Save();
    }
    host::IniSettingsStore store(path);
    EXPECT_EQ(store.ReadString(kSection, "0"), "SWSRC_0");
    EXPECT_EQ(store.ReadString(kSection, "75"), "SRC_CIPHER");
    IrqNameMap map(&store);
    ASSERT_TRUE(map.Load());
    EXPECT_EQ(map.size(), 76u);
    std::string name = "stale";
    EXPECT_FALSE(map.Lookup(80, name));
    EXPECT_EQ(name, "");
    EXPECT_TRUE(map.Lookup(9, name));
    EXPECT_EQ(name, "GSM IRQ control");
}

// An emptied name ends the list on the next load; an emptied first name brings back the defaults.
// Saving commits even an empty map, and leaves the values after the map's.
TEST(IrqNameMap, EmptiedNamesCutTheListAndLaterValuesStay) {
    MemorySettingsStore store;
    IrqNameMap map(&store);
    map.Save();
    EXPECT_EQ(store.commitCount(), 1u);
    EXPECT_EQ(store.writeCount(), 0u);
    map.LoadOrDefaults();
    ASSERT_TRUE(map.SetName(10, ""));
    map.Save();
    EXPECT_TRUE(map.Load());
    EXPECT_EQ(map.size(), 10u);
    map.Save();
    EXPECT_EQ(store.ReadString(kSection, "75"), "SRC_CIPHER");

    ASSERT_TRUE(map.SetName(0, ""));
    map.Save();
    map.LoadOrDefaults();
    EXPECT_EQ(map.entries(), Defaults());
}

} // namespace
} // namespace zuta
