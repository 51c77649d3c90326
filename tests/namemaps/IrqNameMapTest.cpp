#include "namemaps/IrqNameMap.h"

#include "host/IniSettingsStore.h"
#include "host/MemorySettingsStore.h"
#include "support/TempFolder.h"

#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace zuta {
namespace {

using host::MemorySettingsStore;

constexpr const char* kSection = IrqNameMap::kSection;

std::map<std::uint32_t, std::string> DefaultTableFromData() {
    std::map<std::uint32_t, std::string> table;
    std::ifstream in(std::string(ZUTA_TEST_DATA_DIR) + "/namemaps/irq_default_names.txt");
    std::uint32_t number = 0;
    std::string name;
    while (in >> number >> name)
        table[number] = name;
    return table;
}

void StoreNames(MemorySettingsStore& store, std::uint32_t from, std::uint32_t to) {
    for (std::uint32_t i = from; i < to; ++i)
        store.WriteString(kSection, std::to_string(i), "N" + std::to_string(i));
}

TEST(IrqNameMap, EmptyStoreGivesTheDefaultTableWithoutWriting) {
    MemorySettingsStore store;
    IrqNameMap map(&store);
    EXPECT_FALSE(map.Load());
    map.LoadOrDefaults();
    const auto expected = DefaultTableFromData();
    ASSERT_EQ(expected.size(), 76u);
    EXPECT_EQ(map.entries(), expected);
    EXPECT_EQ(store.writeCount(), 0u);
    EXPECT_EQ(store.commitCount(), 0u);
}

TEST(IrqNameMap, LoadStopsAtTheFirstEmptyValue) {
    MemorySettingsStore store;
    StoreNames(store, 0, 5);
    store.WriteString(kSection, "5", "");
    store.WriteString(kSection, "6", "N6");
    IrqNameMap map(&store);
    EXPECT_TRUE(map.Load());
    EXPECT_EQ(map.size(), 5u);
    std::string name;
    EXPECT_TRUE(map.Lookup(4, name));
    EXPECT_EQ(name, "N4");
    EXPECT_FALSE(map.Lookup(6, name));
}

TEST(IrqNameMap, LoadReadsAtMost256Values) {
    MemorySettingsStore store;
    StoreNames(store, 0, 300);
    IrqNameMap map(&store);
    EXPECT_TRUE(map.Load());
    EXPECT_EQ(map.size(), 256u);
    EXPECT_EQ(map.entries().rbegin()->first, 255u);
}

TEST(IrqNameMap, EmptyFirstValueMeansNoNames) {
    MemorySettingsStore store;
    store.WriteString(kSection, "0", "");
    StoreNames(store, 1, 10);
    IrqNameMap map(&store);
    map.LoadOrDefaults();
    EXPECT_EQ(map.entries(), DefaultTableFromData());
}

TEST(IrqNameMap, LoadReplacesWhatTheMapHeld) {
    MemorySettingsStore store;
    StoreNames(store, 0, 3);
    IrqNameMap map(&store);
    map.LoadDefaults();
    EXPECT_TRUE(map.Load());
    EXPECT_EQ(map.size(), 3u);
}

TEST(IrqNameMap, LookupAndSetNameStayWithinTheTable) {
    IrqNameMap map;
    map.LoadDefaults();
    std::string name = "stale";
    EXPECT_FALSE(map.Lookup(80, name));
    EXPECT_EQ(name, "");
    EXPECT_TRUE(map.Lookup(75, name));
    EXPECT_EQ(name, "SRC_CIPHER");

    EXPECT_FALSE(map.SetName(76, "Extra"));
    EXPECT_EQ(map.size(), 76u);
    EXPECT_TRUE(map.SetName(4, "Frame"));
    EXPECT_TRUE(map.Lookup(4, name));
    EXPECT_EQ(name, "Frame");
}

TEST(IrqNameMap, SavedNamesReplaceTheDefaultsThroughAFile) {
    test::TempFolder dir;
    const std::string path = dir / "settings.ini";
    {
        host::IniSettingsStore store(path);
        IrqNameMap map(&store);
        map.LoadOrDefaults();
        ASSERT_TRUE(map.SetName(9, "GSM IRQ control"));
        map.Save();
    }
    host::IniSettingsStore store(path);
    EXPECT_EQ(store.ReadString(kSection, "0"), "SWSRC_0");
    EXPECT_EQ(store.ReadString(kSection, "75"), "SRC_CIPHER");
    IrqNameMap map(&store);
    ASSERT_TRUE(map.Load());
    EXPECT_EQ(map.size(), 76u);
    std::string name;
    EXPECT_TRUE(map.Lookup(9, name));
    EXPECT_EQ(name, "GSM IRQ control");
}

TEST(IrqNameMap, EmptiedNameCutsTheListOnReload) {
    MemorySettingsStore store;
    IrqNameMap map(&store);
    map.LoadOrDefaults();
    ASSERT_TRUE(map.SetName(10, ""));
    map.Save();
    EXPECT_EQ(store.ReadString(kSection, "10"), "");
    EXPECT_TRUE(map.Load());
    EXPECT_EQ(map.size(), 10u);

    map.LoadOrDefaults();
    ASSERT_TRUE(map.SetName(0, ""));
    map.Save();
    map.LoadOrDefaults();
    EXPECT_EQ(map.entries(), DefaultTableFromData());
}

TEST(IrqNameMap, SaveCommitsEvenWhenEmptyAndLeavesLaterValues) {
    MemorySettingsStore store;
    StoreNames(store, 0, 8);
    IrqNameMap map(&store);
    map.Save();
    EXPECT_EQ(store.commitCount(), 1u);
    EXPECT_EQ(store.writeCount(), 8u);

    store.WriteString(kSection, "3", "");
    EXPECT_TRUE(map.Load());
    map.Save();
    EXPECT_EQ(store.ReadString(kSection, "7"), "N7");
}

} // namespace
} // namespace zuta
