#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>

#include "Platform/AutoResetEvent.h"
#include "Platform/Thread.h"

TEST(AutoResetEvent, ASignalWakesOneWaitThenResetsItself)
{
    Platform::AutoResetEvent event;
    EXPECT_FALSE(event.Wait(0));
    event.Set();
    event.Set();  // signals do not add up
    EXPECT_TRUE(event.Wait(0));
    EXPECT_FALSE(event.Wait(1));
    event.Set();
    event.Reset();
    EXPECT_FALSE(event.Wait(0));
}

TEST(Thread, RunsJoinsAndRefusesToRestartItselfFromInside)
{
    Platform::Thread thread;
    Platform::AutoResetEvent done;
    std::atomic<bool> restarted{true};
    std::atomic<int> error{0};
    ASSERT_TRUE(thread.Start([&] {
        // Replacing the thread that is running would end the process; it must fail instead.
        restarted = thread.Start([] {});
        error = thread.StartError();
        done.Set();
    }));
    EXPECT_TRUE(done.Wait(5000));
    thread.Join();
    EXPECT_FALSE(restarted.load());
    EXPECT_EQ(error.load(), EDEADLK);

    // A finished thread is joined by the next Start.
    std::atomic<int> runs{0};
    ASSERT_TRUE(thread.Start([&] { ++runs; }));
    ASSERT_TRUE(thread.Start([&] { ++runs; }));
    thread.Join();
    EXPECT_EQ(runs.load(), 2);
}
