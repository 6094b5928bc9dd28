// The number of worker threads of a call's runtime, read from the environment at each call.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace qiv::runtime {

// Why a TOKIO_WORKER_THREADS value was refused: the exact text of the panic, or nothing if valid.
struct WorkerCountChoice {
    std::size_t count = 1;
    std::optional<std::string> refusal;
};

// raw: the variable's bytes, or nullopt when unset. processors: the configured processor count.
WorkerCountChoice worker_count_from(const std::optional<std::string_view>& raw, long processors);

// Reads the variable and the processor count; panics with the refusal text. Calling thread only.
std::size_t worker_count_from_env();

}  // namespace qiv::runtime
