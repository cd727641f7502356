#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "Core/HeardTime.h"

namespace {

struct Seen {
    Core::Moment heardAt;
};

// What a beat indicator's thread does: each value shown no sooner than it is heard, and a stop
// heard at once however far off the next value is.
TEST(HeardTime, ShowsEachValueWhenHeardAndAStopEndsTheWaitAtOnce)
{
    Core::HeardTime::SetVisualOffsetMs(0);
    Platform::LatestValue<Seen> latest;
    std::atomic<bool> running{true};
    std::vector<std::chrono::nanoseconds> lateness;
    const std::uint32_t first = latest.Version();
    std::thread shower([&] {
        Core::HeardTime::ShowEachWhenSeen(latest, first, running, [&](const Seen& seen) {
            lateness.push_back(Core::HeardTime::Now() - seen.heardAt);
        });
    });
    latest.Write({Core::HeardTime::Now() + std::chrono::milliseconds(30)});
    std::this_thread::sleep_for(std::chrono::milliseconds(80));
    // Due 400 ms on: the stop comes first.
    latest.Write({Core::HeardTime::Now() + std::chrono::milliseconds(400)});
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const auto stop = Core::HeardTime::Now();
    running.store(false, std::memory_order_release);
    latest.Wake();
    shower.join();
    EXPECT_LT(Core::HeardTime::Now() - stop, std::chrono::milliseconds(200));
    ASSERT_EQ(lateness.size(), 1u);
    EXPECT_GE(lateness[0].count(), 0);
}

}  // namespace
