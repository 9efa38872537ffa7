#include "ports/safe_pipe.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

TEST(SafePipe, EmptyPipePopsEmptyStringAndStaysEmpty) {
    threadsafe::CSafePipe<std::string> pipe;
    EXPECT_EQ(pipe.Pop(), "");
    EXPECT_EQ(pipe.GetCount(), 0);
    pipe.Push(std::string("a\0b", 3));
    EXPECT_EQ(pipe.GetCount(), 1);
    EXPECT_EQ(pipe.Pop(), std::string("a\0b", 3));
    EXPECT_EQ(pipe.Pop(), "");
    EXPECT_EQ(pipe.GetCount(), 0);
}

TEST(SafePipe, PushAtFrontGoesAheadOfOlderItems) {
    threadsafe::CSafePipe<std::string> pipe;
    pipe.Push("old1");
    pipe.Push("old2");
    pipe.Push("front", false);
    EXPECT_EQ(pipe.GetCount(), 3);
    EXPECT_EQ(pipe.Pop(), "front");
    EXPECT_EQ(pipe.Pop(), "old1");
    EXPECT_EQ(pipe.Pop(), "old2");
}

TEST(SafePipe, ConsumerOnAnotherThreadSeesEveryItemInOrder) {
    threadsafe::CSafePipe<std::string> pipe;
    constexpr int kItems = 20000;
    std::thread producer([&] {
        for (int i = 0; i < kItems; ++i)
            pipe.Push(std::to_string(i));
    });
    int next = 0;
    auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (next < kItems && std::chrono::steady_clock::now() < end) {
        if (pipe.GetCount() == 0) continue;
        ASSERT_EQ(pipe.Pop(), std::to_string(next));
        ++next;
    }
    producer.join();
    EXPECT_EQ(next, kItems);
    EXPECT_EQ(pipe.GetCount(), 0);
}

}  // namespace
