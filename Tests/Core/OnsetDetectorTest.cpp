#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <vector>

#include "Core/OnsetDetector.h"
#include "Support/OnsetScore.h"

namespace {

using Tests::SoundKind;

// Each kind's recordings in every room and floor, scored once for all the tests.
const Tests::DetectionScore& ScoreOf(SoundKind kind)
{
    static std::map<SoundKind, Tests::DetectionScore> scores;
    auto found = scores.find(kind);
    if (found == scores.end())
        found = scores.emplace(kind, Tests::ScoreKind(kind, 48000, 40, 100 + static_cast<unsigned>(kind) * 50)).first;
    return found->second;
}

class OnsetDetectorKinds : public ::testing::TestWithParam<SoundKind> {};

TEST_P(OnsetDetectorKinds, FindsEveryHitOnceInEveryRoomAndFloor)
{
    const Tests::DetectionScore& score = ScoreOf(GetParam());
    EXPECT_EQ(score.misses, 0);
    EXPECT_EQ(score.falseHits, 0);
    EXPECT_LE(score.SpreadMs(), 0.5);
    // No single hit placed off its attack (a later burst, the noise before it).
    EXPECT_LE(score.WorstMs(), 1.0);
}

std::string TestName(const ::testing::TestParamInfo<SoundKind>& kind)
{
    std::string name = Tests::NameOf(kind.param);
    std::erase(name, '-');
    return name;
}

INSTANTIATE_TEST_SUITE_P(SoundKinds, OnsetDetectorKinds, ::testing::ValuesIn(Tests::AllSoundKinds), TestName);

TEST(OnsetDetector, DelayIsTheSameForEverySoundKind)
{
    double lowest = 1e9, highest = -1e9;
    for (SoundKind kind : Tests::AllSoundKinds) {
        lowest = std::min(lowest, ScoreOf(kind).MeanMs());
        highest = std::max(highest, ScoreOf(kind).MeanMs());
    }
    EXPECT_LE(highest - lowest, 0.5);
    EXPECT_LE(std::fabs(highest), 0.5);
}

TEST(OnsetDetector, PlacesAnEdgeOnItsFrameWhateverTheChunks)
{
    Tests::RecordingPlan plan;
    plan.kind = SoundKind::Snare;
    plan.hits = 20;
    const Tests::Recording recording = Tests::MakeRecording(plan);
    const std::vector<std::int64_t> byFrame = Tests::DetectOnsets(recording, 1);
    EXPECT_EQ(byFrame, Tests::DetectOnsets(recording, 4096));
    EXPECT_EQ(byFrame, Tests::DetectOnsets(recording, 333));

    // A click in digital silence: exactly its first frame.
    std::vector<float> click(48000, 0.0f);
    for (int i = 0; i < 48; ++i)
        click[30000 + i] = 0.5f * std::exp(-i / 10.0f);
    Tests::Recording clean{48000, click, {30000}};
    EXPECT_EQ(Tests::DetectOnsets(clean), std::vector<std::int64_t>{30000});
}

TEST(OnsetDetector, FindsNothingInHumSteadyNoiseOrBadSamples)
{
    std::vector<float> signal(96000);
    std::mt19937 random(5);
    std::normal_distribution<float> noise(0, 0.01f);
    for (std::size_t i = 0; i < signal.size(); ++i)
        signal[i] =
            0.3f * static_cast<float>(std::sin(2 * M_PI * 110 * static_cast<double>(i) / 48000)) + noise(random);
    signal[50000] = std::nanf("");
    signal[60000] = INFINITY;
    EXPECT_TRUE(Tests::DetectOnsets(Tests::Recording{48000, signal, {}}).empty());
}

}  // namespace
