#include "host/MemorySettingsStore.h"

#include <gtest/gtest.h>

namespace zuta::host {
namespace {

TEST(MemorySettingsStore, KeepsInsertionOrder) {
    MemorySettingsStore store;
    store.WriteString("B", "z", "1");
    store.WriteString("A", "y", "2");
    store.WriteString("B", "a", "3");
    store.WriteString("B", "z", "4");
    EXPECT_EQ(store.Sections(), (std::vector<std::string>{"B", "A"}));
    EXPECT_EQ(store.Keys("B"), (std::vector<std::string>{"z", "a"}));
    EXPECT_EQ(store.ReadString("B", "z"), "4");
    EXPECT_EQ(store.writeCount(), 4u);
    EXPECT_TRUE(store.Keys("none").empty());
}

TEST(MemorySettingsStore, IntegersAreDecimalTextAndCaseMatters) {
    MemorySettingsStore store;
    store.WriteInt("s", "n", 0xFFFFFFFFu);
    EXPECT_EQ(store.ReadString("s", "n"), "4294967295");
    EXPECT_EQ(store.ReadInt("s", "n", 0), 0xFFFFFFFFu);
    store.WriteString("s", "hex", "0x20");
    EXPECT_EQ(store.ReadInt("s", "hex", 0), 32u);
    store.WriteString("s", "text", "twelve");
    EXPECT_EQ(store.ReadInt("s", "text", 3), 3u);
    EXPECT_EQ(store.ReadInt("S", "n", 8), 8u);
    EXPECT_EQ(store.ReadString("s", "N"), "");
    EXPECT_FALSE(store.Contains("s", "N"));
}

TEST(MemorySettingsStore, CountsAndFailsCommits) {
    MemorySettingsStore store;
    EXPECT_TRUE(store.Commit());
    store.SetFailCommits(true);
    EXPECT_FALSE(store.Commit());
    store.SetFailCommits(false);
    EXPECT_TRUE(store.Commit());
    EXPECT_EQ(store.commitCount(), 3u);
}

} // namespace
} // namespace zuta::host
