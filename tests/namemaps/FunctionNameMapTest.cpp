#include "namemaps/FunctionNameMap.h"

#include "host/IniSettingsStore.h"
#include "host/MemorySettingsStore.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <map>

namespace zuta {
namespace {

using host::MemorySettingsStore;
using Entries = std::map<std::uint32_t, std::string>;

constexpr const char* kSection = FunctionNameMap::kSection;

void StoreValues(MemorySettingsStore& store, const std::vector<std::string>& values) {
    for (std::size_t i = 0; i < values.size(); ++i)
        store.WriteString(kSection, std::to_string(i), values[i]);
}

Entries LoadFrom(const std::vector<std::string>& values) {
    MemorySettingsStore store;
    StoreValues(store, values);
    FunctionNameMap map(&store);
    map.SetName(40, "Old"); // replaced by what is stored
    const bool loaded = map.Load();
    EXPECT_EQ(loaded, map.size() > 0);
    return map.entries();
}

TEST(FunctionNameMap, ParsesValuesAsTheScanPatternDoes) {
    const std::string longWord(150, 'w');
    struct Case {
        std::string text;
        std::string name;
        std::uint32_t number;
    };
    // Each case starts from the name "prev" and the number 77. The word runs to white space, commas
    // included; only the first 99 characters are looked at.
    const Case cases[] = {
        {"Fn12,12", "Fn12,12", 77},
        {"\tname\t,\t7", "name", 7},
        {"name , abc", "name", 77},
        {"a,b , 5", "a,b", 5},
        {"", "prev", 77},
        {longWord + " , 5", std::string(99, 'w'), 77},
        {std::string(94, 'x') + " , 5", std::string(94, 'x'), 5},
    };
    for (const Case& c : cases) {
        std::string name = "prev";
        std::uint32_t number = 77;
        FunctionNameMap::ParseValue(c.text, name, number);
        EXPECT_EQ(name, c.name) << '"' << c.text << '"';
        EXPECT_EQ(number, c.number) << '"' << c.text << '"';
    }
}

TEST(FunctionNameMap, LoadRules) {
    EXPECT_EQ(LoadFrom({}), Entries{});
    EXPECT_EQ(LoadFrom({"InitL1 , 3", "Fn12 , 12"}), (Entries{{3, "InitL1"}, {12, "Fn12"}}));
    // A name with a blank loses its number: it goes to the number of the value before it.
    EXPECT_EQ(LoadFrom({"Init L1 , 3"}), (Entries{{0, "Init"}}));
    EXPECT_EQ(LoadFrom({"A , 7", "Init L1 , 3"}), (Entries{{7, "Init"}}));
    // An emptied name is saved as " , number" and read back as the name ",".
    EXPECT_EQ(LoadFrom({" , 12"}), (Entries{{0, ","}}));
    // A value without a word changes nothing the value before it gave.
    EXPECT_EQ(LoadFrom({"A , 3", "   ", "B , 4"}), (Entries{{3, "A"}, {4, "B"}}));
    // The first empty value ends the list; later numbers replace earlier ones.
    EXPECT_EQ(LoadFrom({"A , 1", "B , 1", "", "C , 2"}), (Entries{{1, "B"}}));
}

// Values are read up to the first empty or absent one, however many there are; numbers are
// written signed and read back whole.
TEST(FunctionNameMap, EveryStoredValueSurvivesARestart) {
    MemorySettingsStore store;
    FunctionNameMap(&store).Save(); // commits even when empty
    EXPECT_EQ(store.commitCount(), 1u);
    EXPECT_EQ(store.writeCount(), 0u);
    {
        FunctionNameMap map(&store);
        for (std::uint32_t i = 0; i < 300; ++i)
            map.SetName(i, "Fn" + std::to_string(i));
        map.SetName(4000000000u, "Big");
        map.Save();
    }
    EXPECT_EQ(store.ReadString(kSection, "299"), "Fn299 , 299");
    EXPECT_EQ(store.ReadString(kSection, "300"), "Big , -294967296");
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

TEST(FunctionNameMap, NewNumberShiftsLaterPositionsAndLeavesTheRest) {
    MemorySettingsStore store;
    StoreValues(store, {"A , 1", "C , 3", "Stale , 9"});
    store.WriteString(kSection, "2", "");
    FunctionNameMap map(&store);
    ASSERT_TRUE(map.Load());
    map.SetName(2, "B");
    map.Save();
    EXPECT_EQ(store.commitCount(), 1u);
    EXPECT_EQ(store.ReadString(kSection, "0"), "A , 1");
    EXPECT_EQ(store.ReadString(kSection, "1"), "B , 2");
    EXPECT_EQ(store.ReadString(kSection, "2"), "C , 3");
    EXPECT_EQ(store.ReadString(kSection, "3"), "");
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
        EXPECT_EQ(store.ReadString(kSection, "1").size(), 99u);
    }
    host::IniSettingsStore store(path);
    FunctionNameMap map(&store);
    ASSERT_TRUE(map.Load());
    EXPECT_EQ(map.entries(), (Entries{{7, "Short"}, {4000000000u, std::string(86, 'L')}}));
}

} // namespace
} // namespace zuta
