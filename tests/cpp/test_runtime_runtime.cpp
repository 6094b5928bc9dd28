#include <gtest/gtest.h>
#include <pthread.h>

#include <atomic>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <cerrno>
#include <memory>

#include "runtime/Runtime.h"
#include "support/Panic.h"

using qiv::runtime::Runtime;

namespace {

std::size_t thread_count() {
    std::size_t n = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/task")) ++n;
    return n;
}

std::string this_thread_name() {
    char name[32] = {};
    pthread_getname_np(pthread_self(), name, sizeof name);
    return name;
}

TEST(Runtime, RunsTheJobOnANamedWorkerAndJoinsEveryThread) {
    const std::size_t before = thread_count();
    {
        Runtime rt(3);
        const std::string name = rt.block_on([] { return this_thread_name(); });
        EXPECT_EQ(thread_count(), before + 3);
        EXPECT_EQ(name, "tokio-runtime-w");  // the kernel keeps 15 bytes
        const auto inner = rt.block_on([&rt] {
            return rt.spawn_blocking([] { return this_thread_name(); }).get();
        });
        EXPECT_EQ(inner, "tokio-runtime-w");
        EXPECT_EQ(thread_count(), before + 4);  // the blocking thread stays until the end
    }
    EXPECT_EQ(thread_count(), before);
}

TEST(Runtime, HandsAWorkersExceptionBackToTheCaller) {
    Runtime rt(1);
    EXPECT_THROW(rt.block_on([]() -> int { throw std::runtime_error("inner"); }), std::runtime_error);
    EXPECT_EQ(rt.block_on([] { return 7; }), 7);  // the worker survives
}

TEST(Runtime, BlockingPoolStopsAtItsCap) {
    Runtime rt(1, 2);
    const std::size_t before = thread_count();
    std::atomic<int> done{0};
    rt.block_on([&] {
        std::vector<std::future<void>> all;
        for (int i = 0; i < 6; ++i) all.push_back(rt.spawn_blocking([&] { ++done; }));
        for (auto& f : all) f.get();
        return 0;
    });
    EXPECT_EQ(done.load(), 6);
    EXPECT_LE(thread_count(), before + 2);
}

// A gate that lets `allowed` threads start and refuses the rest as the OS would.
Runtime::SpawnGate refusing_after(int allowed) {
    auto left = std::make_shared<int>(allowed);
    return [left] { return (*left)-- <= 0 ? EAGAIN : 0; };
}

TEST(Runtime, AWorkerThatCannotStartIsAPanicAfterTheOthersAreJoined) {
    const std::size_t before = thread_count();
    try {
        Runtime rt(4, Runtime::kMaxBlockingThreads, refusing_after(2));
        rt.block_on([] { return 0; });
        FAIL() << "no panic";
    } catch (const qiv::Panic& p) {
        EXPECT_EQ(p.message(), "OS can't spawn worker thread: Resource temporarily unavailable (os error 11)");
    }
    EXPECT_EQ(thread_count(), before);
}

// The refused start is the second or the last of four workers.
class RuntimeWorkerRefused : public ::testing::TestWithParam<int> {};

TEST_P(RuntimeWorkerRefused, PanicsInTheConstructorSoNoJobRuns) {
    const std::size_t before = thread_count();
    bool constructed = false;
    bool ran = false;
    try {
        Runtime rt(4, Runtime::kMaxBlockingThreads, refusing_after(GetParam()));
        constructed = true;
        rt.block_on([&ran] { ran = true; });
    } catch (const qiv::Panic& p) {
        EXPECT_EQ(p.message(), "OS can't spawn worker thread: Resource temporarily unavailable (os error 11)");
    }
    EXPECT_FALSE(constructed);
    EXPECT_FALSE(ran);
    EXPECT_EQ(thread_count(), before);
}

INSTANTIATE_TEST_SUITE_P(SecondOrLast, RuntimeWorkerRefused, ::testing::Values(1, 3));

TEST(Runtime, AFirstWorkerThatCannotStartIsAPanic) {
    const std::size_t before = thread_count();
    EXPECT_THROW(Runtime(2, Runtime::kMaxBlockingThreads, refusing_after(0)), qiv::Panic);
    EXPECT_EQ(thread_count(), before);
}

TEST(Runtime, ABlockingThreadThatCannotStartIsAPanicOnTheCallingThread) {
    const std::size_t before = thread_count();
    try {
        Runtime rt(1, Runtime::kMaxBlockingThreads, refusing_after(1));
        rt.block_on([&rt] { return rt.spawn_blocking([] { return 1; }).get(); });
        FAIL() << "no panic";
    } catch (const qiv::Panic& p) {
        EXPECT_EQ(p.message(), "OS can't spawn worker thread: Resource temporarily unavailable (os error 11)");
    }
    EXPECT_EQ(thread_count(), before);
}

}  // namespace
