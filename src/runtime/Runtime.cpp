#include "runtime/Runtime.h"

#include <cxxabi.h>
#include <pthread.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>

#include "support/Panic.h"

namespace qiv::runtime {

namespace {

using ThreadBody = std::function<void()>;

void* thread_main(void* raw) {
    std::unique_ptr<ThreadBody> body(static_cast<ThreadBody*>(raw));
    try {
        (*body)();
    } catch (abi::__forced_unwind&) {
        throw;  // thread cancellation unwinds as an exception and must go on
    } catch (...) {
        // Unreachable: tasks report through their futures and the loop swallows the rest, so only
        // a failing lock could get here. Leaving a thread start routine would end the process
        // anyway, through std::terminate; say why first, without allocating.
        static const char message[] = "runtime thread ended by an exception\n";
        ssize_t ignored = ::write(2, message, sizeof message - 1);
        (void)ignored;
        std::abort();
    }
    return nullptr;
}

// The kernel keeps 15 bytes of a thread's name and refuses a longer one whole.
void set_thread_name(const char* name) noexcept {
    char kept[16] = {};
    for (std::size_t i = 0; i + 1 < sizeof kept && name[i] != '\0'; ++i) kept[i] = name[i];
    pthread_setname_np(pthread_self(), kept);
}

}  // namespace

Runtime::Runtime(std::size_t workers, std::size_t max_blocking, SpawnGate gate)
    : gate_(std::move(gate)), max_blocking_(max_blocking) {
    // A constructor that throws runs no destructor, so the workers already started, which
    // refer to this runtime, are joined here; none has a job to wait for yet.
    try {
        for (std::size_t i = 0; i < workers; ++i) start_thread(workers_pool_);
    } catch (const SpawnError& err) {
        shutdown();
        panic_spawn(err);
    } catch (...) {
        shutdown();
        throw;
    }
}

Runtime::~Runtime() { shutdown(); }

void Runtime::panic_spawn(const SpawnError& err) { qiv::panic(err.what()); }

void Runtime::start_thread(Pool& pool) {
    // Called with pool.mutex held for the blocking pool, or by the constructor for workers.
    int err = gate_ ? gate_() : 0;
    if (err == 0) {
        auto start = std::make_unique<ThreadBody>([this, &pool] {
            set_thread_name(kThreadName);
            worker_loop(pool);
        });
        pool.threads.reserve(pool.threads.size() + 1);
        pthread_attr_t attr;
        err = pthread_attr_init(&attr);
        if (err == 0) {
            pthread_attr_setstacksize(&attr, kStackBytes);
            pthread_t id;
            err = pthread_create(&id, &attr, thread_main, start.get());
            pthread_attr_destroy(&attr);
            if (err == 0) {
                start.release();  // the thread owns it now
                pool.threads.push_back(id);
            }
        }
    }
    if (err != 0) throw SpawnError(err);
}

void Runtime::worker_loop(Pool& pool) {
    std::unique_lock lock(pool.mutex);
    for (;;) {
        ++pool.idle;
        pool.ready.wait(lock, [&] { return pool.stopping || !pool.queue.empty(); });
        --pool.idle;
        if (pool.queue.empty()) return;  // stopping, nothing left to run
        Task task = std::move(pool.queue.front());
        pool.queue.pop_front();
        lock.unlock();
        try {
            task();
        } catch (abi::__forced_unwind&) {
            throw;
        } catch (...) {
            // Tasks report through their futures; what a task's own wrapper throws has no one
            // to go to, and must not end the thread that other tasks wait on.
        }
        task = nullptr;
        lock.lock();
    }
}

void Runtime::submit_worker(Task task) {
    {
        std::lock_guard lock(workers_pool_.mutex);
        workers_pool_.queue.push_back(std::move(task));
    }
    workers_pool_.ready.notify_one();
}

void Runtime::submit_blocking(Task task) {
    {
        std::lock_guard lock(blocking_pool_.mutex);
        // Idle threads count those about to take a queued task, so compare with the queue.
        if (blocking_pool_.idle <= blocking_pool_.queue.size() &&
            blocking_pool_.threads.size() < max_blocking_) {
            try {
                start_thread(blocking_pool_);
            } catch (const SpawnError&) {
                // A thread already there takes the task in its turn, unless the pool is stopping,
                // when it may have ended; with none the task would never run.
                if (blocking_pool_.threads.empty() || blocking_pool_.stopping) throw;
            }
        }
        blocking_pool_.queue.push_back(std::move(task));
    }
    blocking_pool_.ready.notify_one();
}

void Runtime::shutdown() noexcept {
    // A stopped pool still runs every queued task, and a task submitted after the stop still
    // gets a thread, so a job still running may wait on a blocking task. Threads are taken one
    // at a time under the lock because such a late submission may add one.
    for (Pool* pool : {&workers_pool_, &blocking_pool_}) {
        {
            std::lock_guard lock(pool->mutex);
            pool->stopping = true;
        }
        pool->ready.notify_all();
    }
    for (Pool* pool : {&workers_pool_, &blocking_pool_}) {
        for (;;) {
            pthread_t t;
            {
                std::lock_guard lock(pool->mutex);
                if (pool->threads.empty()) break;
                t = pool->threads.back();
                pool->threads.pop_back();
            }
            pthread_join(t, nullptr);
        }
    }
}

}  // namespace qiv::runtime
