#include <gtest/gtest.h>

#include "TestEnvironment.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    Tests::PrepareEnvironment(argc, argv);
    return RUN_ALL_TESTS();
}
