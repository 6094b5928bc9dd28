// A runtime thread that could not be started; carried back to the calling thread, which panics.
#pragma once

#include <exception>
#include <string>

namespace qiv::runtime {

class SpawnError final : public std::exception {
public:
    explicit SpawnError(int os_error);
    const char* what() const noexcept override { return message_.c_str(); }
    int os_error() const noexcept { return os_error_; }

private:
    int os_error_;
    std::string message_;
};

}  // namespace qiv::runtime
