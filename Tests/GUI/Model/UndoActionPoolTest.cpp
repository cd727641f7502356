#include <gtest/gtest.h>

#include <new>

#include "GUI/Model/UndoActionPool.h"
#include "Support/RecordingLog.h"

namespace {

using GUI::UndoAction;
using GUI::UndoActionPool;

int allocationsLeft = 0;

UndoAction* LimitedNew() noexcept
{
    if (allocationsLeft <= 0)
        return nullptr;
    --allocationsLeft;
    return new (std::nothrow) UndoAction();
}

TEST(UndoActionPool, GrowsByTwentyOnlyWhenEmpty)
{
    UndoActionPool pool;
    EXPECT_EQ(pool.AllocationCount(), 0);
    UndoAction* taken[21];
    for (UndoAction*& action : taken) {
        action = pool.Take();
        ASSERT_NE(action, nullptr);
    }
    EXPECT_EQ(pool.AllocationCount(), 2);
    EXPECT_EQ(pool.FreeCount(), 19);

    // Given back as one stack, the actions are reused before the pool grows again.
    for (int i = 0; i < 20; ++i)
        taken[i]->next = taken[i + 1];
    taken[20]->next = nullptr;
    pool.GiveBackList(taken[0]);
    EXPECT_EQ(pool.FreeCount(), 40);
    UndoAction* again[40];
    for (UndoAction*& action : again)
        action = pool.Take();
    EXPECT_EQ(pool.AllocationCount(), 2);
    for (UndoAction* action : again) {
        ASSERT_NE(action, nullptr);
        pool.GiveBack(action);
    }
}

TEST(UndoActionPool, ReportsAnActionItCannotAllocate)
{
    Tests::RecordingLog log;
    allocationsLeft = 3;
    UndoActionPool pool(UndoActionPool::DefaultGrowth, LimitedNew);
    UndoAction* a = pool.Take();
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(pool.FreeCount(), 2);  // the block stopped at the first failed allocation
    ASSERT_EQ(log.Entries().size(), 1u);
    EXPECT_EQ(log.Entries()[0].level, 3);
    EXPECT_EQ(log.Entries()[0].text, "Unable to allocate memory for UndoAction object in UndoActionPool::Allocate");

    UndoAction* b = pool.Take();
    UndoAction* c = pool.Take();
    ASSERT_NE(b, nullptr);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(pool.Take(), nullptr);
    EXPECT_EQ(log.Entries().size(), 2u);
    pool.GiveBack(a);
    pool.GiveBack(b);
    pool.GiveBack(c);
    EXPECT_EQ(pool.FreeCount(), 3);
}

}  // namespace
