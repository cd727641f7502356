#include <gtest/gtest.h>

#include "Core/BeatHandOver.h"

namespace {

using Core::BeatHandOver;
using Core::Moment;
using std::chrono::milliseconds;

TEST(BeatHandOver, ReadsEachBeatByNumberUntilItsPlaceIsTaken)
{
    BeatHandOver beats;
    EXPECT_EQ(beats.At(0).voice, -1);
    EXPECT_EQ(beats.At(1).heardAt, Moment()) << "nothing pushed: at once";
    const Moment base = Core::HeardTime::Now();
    const int pushed = static_cast<int>(BeatHandOver::Slots) + 6;
    for (int i = 1; i <= pushed; ++i)
        beats.Push({i % 12, base + milliseconds(i)});
    ASSERT_EQ(beats.Count(), static_cast<std::uint32_t>(pushed));
    // The latest beat and the oldest still held come back whole, voice and time together.
    EXPECT_EQ(beats.At(pushed).voice, pushed % 12);
    EXPECT_EQ(beats.At(pushed).heardAt, base + milliseconds(pushed));
    EXPECT_EQ(beats.At(7).voice, 7);
    EXPECT_EQ(beats.At(7).heardAt, base + milliseconds(7));
    // Overwritten or not pushed yet: no voice, at once.
    EXPECT_EQ(beats.At(6).heardAt, Moment());
    EXPECT_EQ(beats.At(6).voice, -1);
    EXPECT_EQ(beats.At(pushed + 1).heardAt, Moment());
}

}  // namespace
