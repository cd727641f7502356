#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <thread>
#include <vector>

#include "Platform/Clock.h"
#include "Platform/LatestValue.h"

namespace {

// Wider than a word, so that a torn read would show as fields that disagree.
struct Stamp {
    std::int64_t a = 0;
    std::int32_t b = 0;
    std::int64_t c = 0;
};

TEST(LatestValue, ReadersSeeWholeValuesNeverOlderThanTheVersionTheyWaitedFor)
{
    Platform::LatestValue<Stamp> latest;
    constexpr std::int64_t Writes = 200'000;
    std::atomic<bool> done{false};
    std::atomic<int> faults{0};
    // A reader asleep for something new wakes for a Wake (to be stopped) as for a value.
    std::thread sleeper([&] { latest.WaitForNewer(0); });
    latest.Wake();
    sleeper.join();
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            std::int64_t last = 0;
            while (!done.load(std::memory_order_acquire)) {
                const std::uint32_t version = latest.Version();
                const Stamp stamp = latest.Read();
                if (stamp.a != stamp.c || stamp.b != static_cast<std::int32_t>(stamp.a) || stamp.a < last ||
                    stamp.a < static_cast<std::int64_t>(version) - 1)
                    faults.fetch_add(1);
                last = stamp.a;
            }
        });
    }
    for (std::int64_t n = 1; n <= Writes; ++n)
        latest.Write({n, static_cast<std::int32_t>(n), n});
    done.store(true, std::memory_order_release);
    for (std::thread& reader : readers)
        reader.join();
    EXPECT_EQ(faults.load(), 0);
    EXPECT_EQ(latest.Read().c, Writes);
    EXPECT_EQ(latest.Version(), static_cast<std::uint32_t>(Writes + 1));
}

TEST(LatestValue, ASleepWithADeadlineEndsAtItOrAtOnceForAWake)
{
    Platform::LatestValue<Stamp> latest;
    const std::int64_t start = Platform::Clock::Now();
    EXPECT_FALSE(latest.WaitForNewerUntil(0, start + 20'000'000));
    const std::int64_t slept = Platform::Clock::Now() - start;
    EXPECT_GE(slept, 20'000'000);
    EXPECT_LT(slept, 500'000'000);
    // A wake from another thread (a stop) ends a sleep ten seconds long.
    std::int64_t woken = 0;
    std::thread sleeper([&] {
        EXPECT_TRUE(latest.WaitForNewerUntil(0, Platform::Clock::Now() + 10'000'000'000));
        woken = Platform::Clock::Now();
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    const std::int64_t wake = Platform::Clock::Now();
    latest.Wake();
    sleeper.join();
    EXPECT_LT(woken - wake, 2'000'000'000);
    // A version already passed does not sleep at all.
    EXPECT_TRUE(latest.WaitForNewerUntil(0, 0));
}

}  // namespace
