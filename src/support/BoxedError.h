// An owned error of any type; holders only test that one came back and drop it unread.
#pragma once

#include <memory>
#include <string>

namespace qiv {

class ErrorValue {
public:
    virtual ~ErrorValue() = default;
    virtual std::string display() const = 0;
    virtual std::string debug() const { return display(); }
};

using BoxedError = std::unique_ptr<ErrorValue>;

// An error that is only a message.
class MessageError final : public ErrorValue {
public:
    explicit MessageError(std::string message) : message_(std::move(message)) {}
    std::string display() const override { return message_; }

private:
    std::string message_;
};

}  // namespace qiv
