// The system's unrecoverable error: a C++ exception of our own, caught only by the call guard.
#pragma once

#include <exception>
#include <source_location>
#include <string>

namespace qiv {

class Panic final : public std::exception {
public:
    explicit Panic(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }
    // Moves the message out: a catch handler takes it without allocating.
    std::string take_message() noexcept { return std::move(message_); }

private:
    std::string message_;
};

// Writes the report (thread, location, message) to standard error, then throws.
[[noreturn]] void panic(std::string message,
                        std::source_location where = std::source_location::current());

}  // namespace qiv
