// The runtime of one server call: a fixed set of worker threads and an on-demand pool of
// blocking threads, all named alike, all joined when the runtime is destroyed.
#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <optional>
#include <pthread.h>
#include <type_traits>
#include <vector>

#include "runtime/SpawnError.h"

namespace qiv::runtime {

class Runtime {
public:
    // Asked before each thread start: 0 lets it go on, an OS error number refuses it as the
    // OS would. Tests use it; the default lets every start go on.
    using SpawnGate = std::function<int()>;

    // Small enough that the C library keeps the stacks of a call's threads for the next call.
    static constexpr std::size_t kStackBytes = 2 * 1024 * 1024;

    static constexpr std::size_t kMaxBlockingThreads = 512;
    static constexpr const char* kThreadName = "tokio-runtime-worker";

    // Starts every worker on the calling thread, so no job runs on a runtime that is missing
    // one. A worker that cannot start is a panic, raised after the started ones are joined.
    explicit Runtime(std::size_t workers, std::size_t max_blocking = kMaxBlockingThreads,
                     SpawnGate gate = {});
    ~Runtime();

    Runtime(const Runtime&) = delete;
    Runtime& operator=(const Runtime&) = delete;

    // Runs job on a worker while the calling thread waits. Whatever the job throws comes back
    // here and is rethrown on the calling thread; a thread that could not start becomes a panic.
    // The job may refer to anything of the caller's while it runs. It is destroyed on the
    // worker after its result is handed over, maybe after block_on has returned, so its
    // destructor must touch nothing of the caller's but this runtime, whose end waits for it.
    template <class F>
    std::invoke_result_t<F&> block_on(F job);

    // Runs job on a blocking thread (started on demand). Throws SpawnError when no thread is
    // idle and none can be started.
    template <class F>
    std::future<std::invoke_result_t<F&>> spawn_blocking(F job);

    std::size_t worker_count() const noexcept { return workers_pool_.threads.size(); }

private:
    using Task = std::function<void()>;

    struct Pool {
        std::mutex mutex;
        std::condition_variable ready;
        std::deque<Task> queue;
        std::vector<pthread_t> threads;
        std::size_t idle = 0;
        bool stopping = false;
    };

    void start_thread(Pool& pool);
    void worker_loop(Pool& pool);
    void submit_worker(Task task);
    void submit_blocking(Task task);
    void shutdown() noexcept;
    [[noreturn]] static void panic_spawn(const SpawnError& err);

    SpawnGate gate_;
    std::size_t max_blocking_;
    Pool workers_pool_;
    Pool blocking_pool_;
};

template <class F>
std::invoke_result_t<F&> Runtime::block_on(F job) {
    using R = std::invoke_result_t<F&>;
    struct State {
        std::optional<F> job;
        std::promise<R> done;
    };
    auto state = std::make_shared<State>();
    state->job.emplace(std::move(job));
    std::future<R> done = state->done.get_future();
    // Only the task holds the promise: a task that ended without a result breaks it, and the
    // caller wakes with an error instead of waiting forever.
    submit_worker([state = std::move(state)] {
        try {
            if constexpr (std::is_void_v<R>) {
                (*state->job)();
                state->done.set_value();
            } else {
                state->done.set_value((*state->job)());
            }
        } catch (...) {
            state->done.set_exception(std::current_exception());
        }
        // Released on the worker while the caller wakes, not on the caller once it woke.
        state->job.reset();
    });
    try {
        return done.get();
    } catch (const SpawnError& err) {
        panic_spawn(err);
    }
}

template <class F>
std::future<std::invoke_result_t<F&>> Runtime::spawn_blocking(F job) {
    using R = std::invoke_result_t<F&>;
    auto task = std::make_shared<std::packaged_task<R()>>(std::move(job));
    std::future<R> done = task->get_future();
    submit_blocking([task] { (*task)(); });
    return done;
}

}  // namespace qiv::runtime
