#include "agent/GroundTruth.h"

#include "support/TempFolder.h"

#include <gtest/gtest.h>
#include <string>

namespace zuta::agent {
namespace {

TEST(GroundTruth, SavedJsonHasEveryFieldAndAFolderThatIsNotThereIsReported) {
    // Every field set, so that one left out of the file shows.
    const GroundTruth truth{.seed = 99,
                            .samplingMode = 3,
                            .idleTaskName = "Idle",
                            .tasks = {{1000, {1000, "Idle", 0, 5, 123456789012ull, 1, 2, 3, 4}},
                                      {4, {4, "FrameInt", 2, 3, 300, 30, 20, 10, 2}}},
                            .switchCount = 17,
                            .userEventCount = 5,
                            .functionEventCount = 6,
                            .records = 7,
                            .rawBlocks = 2,
                            .payloadBytes = 8,
                            .streamBytes = 9,
                            .simulatedSeconds = 1.25};
    const test::TempFolder folder;
    std::string error;
    ASSERT_TRUE(truth.Save(folder / "truth.json", error)) << error;
    EXPECT_EQ(test::ReadFileBytes(folder / "truth.json"),
              test::ReadFileBytes(ZUTA_TEST_DATA_DIR "/agent/truth.json"));

    EXPECT_FALSE(truth.Save("/nonexistent-folder/truth.json", error));
    EXPECT_NE(error.find("/nonexistent-folder/truth.json"), std::string::npos);
}

} // namespace
} // namespace zuta::agent
