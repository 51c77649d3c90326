#include "graphs/TimeSequence.h"

#include <gtest/gtest.h>

namespace zuta::graphs {
namespace {

TEST(TimeSequenceTest, RowsMoreThanFiftyWholeMicrosecondsOffTheLastSessionStandOut) {
    TimeSequence sequence;
    struct Case {
        float microseconds;
        const char* text;
        bool off;
    };
    const Case cases[] = {
        {30.0f, "30.00", true},      {4564.99f, "4564.99", true}, {4566.0f, "4566.00", false},
        {4666.0f, "4666.00", false}, {4667.5f, "4667.50", true},  {4616.375f, "4616.38", false},
        {4616.0f, "4616.00", false},
    };
    std::uint32_t session = 0;
    for (const Case& c : cases) {
        sequence.Append(session++, c.microseconds);
    }
    EXPECT_EQ(sequence.reference(), 4616.0f);
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        EXPECT_EQ(sequence.PositionText(row), std::to_string(row));
        EXPECT_EQ(sequence.TimeText(row), cases[row].text);
        EXPECT_EQ(sequence.OffPeriod(row), cases[row].off) << cases[row].text;
    }

    // A session shorter than 50 microseconds is compared as it is, not wrapped round.
    sequence.Clear();
    EXPECT_TRUE(sequence.entries().empty());
    EXPECT_EQ(sequence.reference(), 4616.0f);
    sequence.Append(0, 30.0f);
    sequence.Append(1, 40.0f);
    EXPECT_FALSE(sequence.OffPeriod(0));
}

} // namespace
} // namespace zuta::graphs
