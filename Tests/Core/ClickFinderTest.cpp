#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <vector>

#include "../Support/SoundCapture.h"

namespace {

// A click that rings on well past the next one, as a wood block does at eight clicks a beat.
std::vector<float> RingingClick()
{
    std::vector<float> click(3000);
    for (std::size_t i = 0; i < click.size(); ++i)
        click[i] = 0.1f *
            static_cast<float>(std::sin(0.3 * static_cast<double>(i)) * std::exp(-static_cast<double>(i) / 300.0));
    return click;
}

// Overlapping clicks are each found on their frame; where the output ran dry in the middle of
// them (silence cutting the ringing ones short) nothing is made up: no click is found twice and
// none where none was played.
TEST(FindClicks, OverlappingClicksAndADropOutAmongThem)
{
    const std::vector<float> click = RingingClick();
    std::vector<long> played;
    std::vector<float> signal(40000, 0.0f);
    for (long at = 1000; at + static_cast<long>(click.size()) < 38000; at += 1102)
        played.push_back(at);
    for (long at : played)
        for (std::size_t i = 0; i < click.size(); ++i)
            signal[static_cast<std::size_t>(at) + i] += click[i];

    EXPECT_EQ(Tests::FindClicks(signal, click), played);

    // The output ran dry for 900 frames a little after a click began.
    const long dryFrom = played[12] + 150;
    for (long i = dryFrom; i < dryFrom + 900; ++i)
        signal[static_cast<std::size_t>(i)] = 0.0f;
    const std::vector<long> found = Tests::FindClicks(signal, click);
    const std::set<long> places(played.begin(), played.end());
    EXPECT_LE(found.size(), played.size());
    EXPECT_EQ(std::set<long>(found.begin(), found.end()).size(), found.size());
    for (long at : found)
        EXPECT_TRUE(places.count(at)) << "a click found at " << at << " where none was played";
    for (std::size_t k = 0; k < 12; ++k)
        EXPECT_EQ(found[k], played[k]);
}

}  // namespace
