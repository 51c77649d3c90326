#include "agent/GroundTruth.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <string>

namespace zuta::agent {
namespace {

GroundTruth WithTicks(std::uint64_t idle, std::uint64_t others) {
    GroundTruth truth;
    truth.tasks[1000] = {1000, "CommPM_L", 0, 5, idle, 0, 0, 0, 0};
    truth.tasks[1001] = {1001, "L1_Task", 0, 5, others, 0, 0, 0, 0};
    return truth;
}

TEST(GroundTruth, SavedJsonReadsBackAndAFolderThatIsNotThereIsReported) {
    GroundTruth truth = WithTicks(123456789012ull, 42);
    truth.seed = 99;
    truth.samplingMode = 3;
    truth.switchCount = 17;
    truth.simulatedSeconds = 1.25;
    truth.tasks[4] = {4, "FrameInt", 2, 3, 300, 30, 20, 10, 2};
    const test::TempFolder folder;
    std::string error;
    ASSERT_TRUE(truth.Save(folder / "truth.json", error)) << error;
    const nlohmann::json json = nlohmann::json::parse(test::ReadFileBytes(folder / "truth.json"));
    EXPECT_EQ(json["cpuLoad"], truth.CpuLoad());
    const GroundTruth back = GroundTruth::FromJson(json);
    EXPECT_EQ(back.seed, 99u);
    EXPECT_EQ(back.samplingMode, 3u);
    EXPECT_EQ(back.switchCount, 17u);
    EXPECT_DOUBLE_EQ(back.simulatedSeconds, 1.25);
    ASSERT_EQ(back.tasks.size(), 3u);
    EXPECT_EQ(back.tasks.at(1000).ticks, 123456789012ull);
    EXPECT_EQ(back.tasks.at(4).name, "FrameInt");
    EXPECT_EQ(back.tasks.at(4).sumValue2, 10u);
    EXPECT_EQ(back.tasks.at(4).functionEvents, 2u);

    EXPECT_FALSE(truth.Save("/nonexistent-folder/truth.json", error));
    EXPECT_NE(error.find("/nonexistent-folder/truth.json"), std::string::npos);
}

} // namespace
} // namespace zuta::agent
