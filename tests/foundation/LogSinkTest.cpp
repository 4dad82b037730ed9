#include "GuiLogSink.h"

#include <spdlog/logger.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace {
struct RingFixture : testing::Test {
    std::shared_ptr<gui_log_sink_mt> sink = std::make_shared<gui_log_sink_mt>();
    spdlog::logger logger{"ring_test", sink};

    RingFixture() { logger.set_level(spdlog::level::info); }
    void logNumbered(int from, int to)
    {
        for (int i = from; i <= to; ++i) logger.info("message {}", i);
    }
};
} // namespace

TEST_F(RingFixture, KeepsRawTextsInArrivalOrder)
{
    logNumbered(1, 3);
    EXPECT_EQ(sink->messages(), (std::vector<std::string>{"message 1", "message 2", "message 3"}));
    EXPECT_EQ(sink->slotOf(2), 2u);
}

TEST_F(RingFixture, OverwritesTheOldestOnceFull)
{
    logNumbered(1, 70);
    EXPECT_EQ(sink->messageCount(), 64u);
    EXPECT_EQ(sink->nextSlot(), 6u);
    EXPECT_EQ(sink->slotOf(0), 6u);
    const auto texts = sink->messages();
    ASSERT_EQ(texts.size(), 64u);
    EXPECT_EQ(texts.front(), "message 7");
    EXPECT_EQ(texts.back(), "message 70");
}

TEST_F(RingFixture, ResetShowsOnlyNewMessages)
{
    logNumbered(1, 70);
    sink->reset();
    logNumbered(71, 72);
    EXPECT_EQ(sink->messages(), (std::vector<std::string>{"message 71", "message 72"}));
}

TEST_F(RingFixture, DropsMessagesBelowTheLoggerLevelAndKeepsPercentSigns)
{
    logger.debug("hidden");
    logger.info("{}", "100% done");
    EXPECT_EQ(sink->messages(), (std::vector<std::string>{"100% done"}));
}
