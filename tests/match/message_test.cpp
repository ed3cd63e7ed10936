// On-screen messages: when they expire, how they rise, how the bag removes
// them, and how they are printed.
#include <gtest/gtest.h>

#include "main.h"
#include "match.h"
#include "match_play.h"
#include "message.h"

using namespace match_test;

namespace {

// Runs `body` once, inside the first frame of a match, where the engine's
// clock and the fonts are live; the clock may be moved freely there.
void In_Match(const std::function<void()> &body)
{
    Run_Match({}, [&](const Frame &) {
        body();
        return true;
    });
}

Message *Made_At(float time, const char *text = "Hold on")
{
    hgeTesting::SetTime(time);
    Message *message = new Message(text, 128, 200, 1, 3);
    message_bag.push_back(message);
    return message;
}

}  // namespace

TEST(Messages, ExpireAtTheFirstReadingOfLifePlusLifespan)
{
    In_Match([] {
        Message *message = Made_At(10.0f);
        EXPECT_FLOAT_EQ(message->Get_Life(), 10.0f);

        hgeTesting::SetTime(12.99f);
        Check_Messages();
        ASSERT_EQ(message_bag.size(), 1u);
        EXPECT_FLOAT_EQ(message_bag[0]->Get_Y(), 199.0f);

        hgeTesting::SetTime(13.0f);
        Check_Messages();
        EXPECT_TRUE(message_bag.empty());
    });
}

TEST(Messages, RiseBySpeedPerUpdateAndSettleExactlyOnTheStoppingLine)
{
    In_Match([] {
        Message slow("Slow", 128, 200, 1, 3);
        for (int update = 1; update <= 109; ++update)
            slow.Update_Message();
        EXPECT_FLOAT_EQ(slow.Get_Y(), 91.0f);
        slow.Update_Message();
        EXPECT_FLOAT_EQ(slow.Get_Y(), 90.0f);  // the 110th
        for (int update = 0; update < 50; ++update)
            slow.Update_Message();
        EXPECT_FLOAT_EQ(slow.Get_Y(), 90.0f);

        // A step past the line is put back on it at the next update.
        Message fast("Fast", 128, 92, 4, 3);
        fast.Update_Message();
        EXPECT_FLOAT_EQ(fast.Get_Y(), 88.0f);
        fast.Update_Message();
        EXPECT_FLOAT_EQ(fast.Get_Y(), 90.0f);
        fast.Update_Message();
        EXPECT_FLOAT_EQ(fast.Get_Y(), 90.0f);
    });
}

TEST(Messages, RemovingTheFirstOfTwoExaminesTheSecondInTheSameCall)
{
    In_Match([] {
        Made_At(10.0f, "first");
        Made_At(11.0f, "second");

        hgeTesting::SetTime(13.5f);
        Check_Messages();
        ASSERT_EQ(message_bag.size(), 1u);
        EXPECT_EQ(message_bag[0]->Get_Text(), "second");
        EXPECT_FLOAT_EQ(message_bag[0]->Get_Y(), 199.0f);  // updated in that same call

        // Two expired at once both go in one call.
        Made_At(14.0f, "third");
        hgeTesting::SetTime(17.0f);
        Check_Messages();
        EXPECT_TRUE(message_bag.empty());
    });
}

TEST(Messages, TwoMadeInOneFrameAreDrawnTogetherAtOnePlaceAndPercentSignsStayLiteral)
{
    std::vector<Screen> screens;
    Run_Match({}, [&](const Frame &frame) {
        if (frame.index == 0) {
            Announce("Player can't attack.");
            Announce("50% %d %s done");
            return false;
        }
        screens.push_back(frame.screen);
        return screens.size() == 2;
    });
    ASSERT_EQ(screens.size(), 2u);
    for (const Screen &screen : screens) {
        ASSERT_EQ(screen.messages.size(), 2u);
        EXPECT_EQ(Letters(screen.messages[0].text), "Playercan'tattack.");
        EXPECT_EQ(Letters(screen.messages[1].text), "50%%d%sdone");
        EXPECT_EQ(screen.messages[0].top, screen.messages[1].top);
        EXPECT_NEAR(screen.messages[0].Middle(), 128, 1.5);
        EXPECT_NEAR(screen.messages[1].Middle(), 128, 1.5);
        // The match waits: no scores, no markers.
        EXPECT_TRUE(screen.scores.empty());
        EXPECT_TRUE(screen.markers.empty());
    }
    // Made between frames, aged once in each frame before it is drawn.
    EXPECT_EQ(screens[0].messages[0].top, 199);
    EXPECT_EQ(screens[1].messages[0].top, 198);
}
