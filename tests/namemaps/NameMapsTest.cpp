#include "host/IniSettingsStore.h"
#include "host/MemorySettingsStore.h"
#include "namemaps/FunctionNameMap.h"
#include "namemaps/IrqNameMap.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <map>

namespace zuta {
namespace {

using host::MemorySettingsStore;

constexpr const char* kIrqSection = IrqNameMap::kSection;
constexpr const char* kFunctionSection = FunctionNameMap::kSection;

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
        for (std::uint32_t i = 0; i < c.stored; ++i)
            store.WriteString(kIrqSection, std::to_string(i), "N" + std::to_string(i));
        if (c.emptied != kNone)
            store.WriteString(kIrqSection, std::to_string(c.emptied), "");
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

// Names are set only within the table; the saved table replaces the defaults. An emptied name ends
// the list on the next load, and the values after it stay.
TEST(IrqNameMap, SavedNamesReplaceTheDefaultsThroughAFile) {
    test::TempFolder dir;
    const std::string path = dir / "settings.ini";
    {
        host::IniSettingsStore store(path);
        IrqNameMap map(&store);
        map.LoadOrDefaults();
        EXPECT_FALSE(map.SetName(76, "Extra"));
        ASSERT_TRUE(map.SetName(9, "GSM IRQ control"));
        ASSERT_TRUE(map.SetName(10, ""));
        map.Save();
    }
    host::IniSettingsStore store(path);
    EXPECT_EQ(store.ReadString(kIrqSection, "0"), "SWSRC_0");
    EXPECT_EQ(store.ReadString(kIrqSection, "75"), "SRC_CIPHER");
    IrqNameMap map(&store);
    ASSERT_TRUE(map.Load());
    EXPECT_EQ(map.size(), 10u);
    std::string name = "stale";
    EXPECT_FALSE(map.Lookup(80, name));
    EXPECT_EQ(name, "");
    EXPECT_TRUE(map.Lookup(9, name));
    EXPECT_EQ(name, "GSM IRQ control");
}

using Entries = std::map<std::uint32_t, std::string>;

Entries LoadFrom(const std::vector<std::string>& values) {
    MemorySettingsStore store;
    for (std::size_t i = 0; i < values.size(); ++i)
        store.WriteString(kFunctionSection, std::to_string(i), values[i]);
    FunctionNameMap map(&store);
    map.SetName(40, "Old"); // replaced by what is stored
    const bool loaded = map.Load();
    EXPECT_EQ(loaded, map.size() > 0);
    return map.entries();
}

// Each value is read as the scan pattern "%s , %d" reads it: the word runs to white space, commas
// included, and only the first 99 characters are looked at. A value without a number (or a word)
// keeps what the value before it gave; the first empty value ends the list.
TEST(FunctionNameMap, LoadRules) {
    struct Case {
        std::vector<std::string> values;
        Entries entries;
    };
    const Case cases[] = {
        {{}, {}},
        {{"InitL1 , 3", "Fn12 , 12"}, {{3, "InitL1"}, {12, "Fn12"}}},
        {{"Fn12,12"}, {{0, "Fn12,12"}}},
        {{"\tname\t,\t7"}, {{7, "name"}}},
        {{"A , 7", "name , abc"}, {{7, "name"}}},
        {{"a,b , 5"}, {{5, "a,b"}}},
        {{std::string(150, 'w') + " , 5"}, {{0, std::string(99, 'w')}}},
        {{std::string(94, 'x') + " , 5"}, {{5, std::string(94, 'x')}}},
        // A name with a blank loses its number: it goes to the number of the value before it.
        {{"Init L1 , 3"}, {{0, "Init"}}},
        {{"A , 7", "Init L1 , 3"}, {{7, "Init"}}},
        // An emptied name is saved as " , number" and read back as the name ",".
        {{" , 12"}, {{0, ","}}},
        {{"A , 3", "   ", "B , 4"}, {{3, "A"}, {4, "B"}}},
        // Later numbers replace earlier ones.
        {{"A , 1", "B , 1", "", "C , 2"}, {{1, "B"}}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LoadFrom(c.values), c.entries) << ::testing::PrintToString(c.values);
}

// Names are saved at positions in the order of their numbers, whatever order they were given in,
// and read back up to the first empty or absent value however many there are; numbers are written
// signed and read back whole.
TEST(FunctionNameMap, EveryStoredValueSurvivesARestart) {
    MemorySettingsStore store;
    FunctionNameMap(&store).Save(); // commits even when empty
    EXPECT_EQ(store.commitCount(), 1u);
    EXPECT_EQ(store.writeCount(), 0u);
    {
        FunctionNameMap map(&store);
        map.SetName(4000000000u, "Big");
        for (std::uint32_t i = 300; i-- > 0;)
            map.SetName(i, "Fn" + std::to_string(i));
        map.Save();
    }
    EXPECT_EQ(store.ReadString(kFunctionSection, "0"), "Fn0 , 0");
    EXPECT_EQ(store.ReadString(kFunctionSection, "299"), "Fn299 , 299");
    EXPECT_EQ(store.ReadString(kFunctionSection, "300"), "Big , -294967296");
    FunctionNameMap map(&store);
    ASSERT_TRUE(map.Load());
    EXPECT_EQ(map.size(), 301u);
    std::string name;
    EXPECT_TRUE(map.Lookup(299, name));
    EXPECT_TRUE(map.Lookup(4000000000u, name));
    EXPECT_EQ(name, "Big");
}

TEST(FunctionNameMap, LookupAndEntriesByPosition) {
    FunctionNameMap map;
    map.SetName(30, "C");
    map.SetName(5, "A");
    map.SetName(9, "");
    std::string name;
    std::uint32_t number = 0;
    ASSERT_TRUE(map.GetEntryAt(1, name, number));
    EXPECT_EQ(number, 9u);
    EXPECT_FALSE(map.Lookup(9, name)) << "an empty name is no name";
    // Without a store nothing is saved or loaded.
    map.Save();
    EXPECT_FALSE(map.Load());
}

TEST(FunctionNameMap, LongNamesAreCutButKeepTheirNumbers) {
    test::TempFolder dir;
    const std::string path = dir / "settings.ini";
    const std::string longName(150, 'L');
    {
        host::IniSettingsStore store(path);
        FunctionNameMap map(&store);
        map.SetName(4000000000u, longName);
        map.SetName(7, "Short");
        std::string name;
        ASSERT_TRUE(map.Lookup(4000000000u, name));
        EXPECT_EQ(name, std::string(99, 'L'));
        map.Save();
        EXPECT_EQ(store.ReadString(kFunctionSection, "1").size(), 99u);
    }
    host::IniSettingsStore store(path);
    FunctionNameMap map(&store);
    ASSERT_TRUE(map.Load());
    EXPECT_EQ(map.entries(), (Entries{{7, "Short"}, {4000000000u, std::string(86, 'L')}}));
}

} // namespace
} // namespace zuta
