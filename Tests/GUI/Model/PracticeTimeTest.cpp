#include <gtest/gtest.h>

#include "GUI/Model/PracticeTime.h"

namespace {

constexpr std::int64_t S = 1'000'000'000;

// Runs add up over the session; a pause, a clock read out of order and a second Start never
// count time twice or take it away.
TEST(PracticeTime, RunsAddUpWithoutPausesAndNeverGoBack)
{
    GUI::PracticeTime time;
    EXPECT_EQ(time.Stop(5 * S), 0.0) << "no run";
    time.Start(10 * S);
    EXPECT_EQ(time.SessionSeconds(70 * S), 60);
    time.Pause(70 * S);
    time.Pause(80 * S);
    EXPECT_EQ(time.SessionSeconds(400 * S), 60);
    time.Resume(400 * S);
    EXPECT_EQ(time.SessionSeconds(399 * S), 60) << "a clock read out of order";
    EXPECT_DOUBLE_EQ(time.Stop(430 * S), 1.5);
    EXPECT_FALSE(time.Running());
    EXPECT_EQ(time.SessionSeconds(1000 * S), 90);

    time.Start(1000 * S);
    time.Start(1030 * S);  // a start without a stop ends the run before
    EXPECT_EQ(time.SessionSeconds(1060 * S), 150);
    EXPECT_DOUBLE_EQ(time.Stop(1060 * S), 0.5);

    EXPECT_EQ(GUI::PracticeTime::Clock(0), "0:00");
    EXPECT_EQ(GUI::PracticeTime::Clock(754), "12:34");
    EXPECT_EQ(GUI::PracticeTime::Clock(3723), "1:02:03");
}

}  // namespace
