#include "Performance/ResourceSwitch.h"

#include "host/MessageBox.h"
#include "support/Recorders.h"

#include <gtest/gtest.h>
#include <string>

namespace zuta::performance {
namespace {

using test::RecordingMessageBox;

TEST(ResourceSwitchTest, MissingModuleShowsTheErrorBoxAndKeepsTheResources) {
    RecordingMessageBox box;
    const auto missing = [] { return ModuleLocation{false, {}, "no such module"}; };
    {
        const CCustomResourceScope scope("PerformanceFrame", 74, &box, missing);
        EXPECT_FALSE(scope.switched());
        EXPECT_EQ(CurrentResourceModule(), "");
    }
    ASSERT_EQ(box.shown.size(), 1U);
    EXPECT_EQ(box.shown[0].caption, "Error in - Use Custom Resource");
    EXPECT_EQ(box.shown[0].icon, host::MessageIcon::Error);
    EXPECT_EQ(box.shown[0].text, "Failed to change resource handle\n(System error: no such module "
                                 ")\nMudule name: libZUTA.so\nSource Files:PerformanceFrame, 74");
}

TEST(ResourceSwitchTest, FoundModuleIsCurrentInsideTheScopeOnly) {
    RecordingMessageBox box;
    const auto outer = [] { return ModuleLocation{true, "/opt/a/libZUTA.so", {}}; };
    const auto inner = [] { return ModuleLocation{true, "/opt/b/libZUTA.so", {}}; };
    {
        const CCustomResourceScope first("PerformanceManager", 58, &box, outer);
        EXPECT_EQ(CurrentResourceModule(), "/opt/a/libZUTA.so");
        {
            const CCustomResourceScope second("PerformanceFrame", 74, &box, inner);
            EXPECT_TRUE(second.switched());
            EXPECT_EQ(CurrentResourceModule(), "/opt/b/libZUTA.so");
        }
        EXPECT_EQ(CurrentResourceModule(), "/opt/a/libZUTA.so");
    }
    EXPECT_EQ(CurrentResourceModule(), "");
    EXPECT_TRUE(box.shown.empty());
}

TEST(ResourceSwitchTest, TheLoaderFindsTheModuleHoldingThisCode) {
    const ModuleLocation location = LocateOwnModule();
    EXPECT_TRUE(location.found) << location.error;
    EXPECT_FALSE(location.path.empty());
}

} // namespace
} // namespace zuta::performance
