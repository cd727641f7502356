#include <gtest/gtest.h>

#include "GUI/Model/PracticeTime.h"

namespace {

// A moment `seconds` after the clock's epoch.
Core::Moment At(std::int64_t seconds)
{
    return Core::Moment(std::chrono::seconds(seconds));
}

// Runs add up over the session; a pause, a clock read out of order and a second Start never
// count time twice or take it away.
TEST(PracticeTime, RunsAddUpWithoutPausesAndNeverGoBack)
{
    GUI::PracticeTime time;
    EXPECT_EQ(time.Stop(At(5)), 0.0) << "no run";
    time.Start(At(10));
    EXPECT_EQ(time.SessionSeconds(At(70)), 60);
    time.Pause(At(70));
    time.Pause(At(80));
    EXPECT_EQ(time.SessionSeconds(At(400)), 60);
    time.Resume(At(400));
    EXPECT_EQ(time.SessionSeconds(At(399)), 60) << "a clock read out of order";
    EXPECT_DOUBLE_EQ(time.Stop(At(430)), 1.5);
    EXPECT_FALSE(time.Running());
    EXPECT_EQ(time.SessionSeconds(At(1000)), 90);

    time.Start(At(1000));
    time.Start(At(1030));  // a start without a stop ends the run before
    EXPECT_EQ(time.SessionSeconds(At(1060)), 150);
    EXPECT_DOUBLE_EQ(time.Stop(At(1060)), 0.5);

    EXPECT_EQ(GUI::PracticeTime::Clock(0), "0:00");
    EXPECT_EQ(GUI::PracticeTime::Clock(754), "12:34");
    EXPECT_EQ(GUI::PracticeTime::Clock(3723), "1:02:03");
}

}  // namespace
