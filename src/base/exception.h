#pragma once
// The program's base error class: an error that carries a message text. Errors that
// escape a handler are shown to the user with this text.
#include <exception>
#include <string>
#include <utility>

class Exception : public std::exception {
public:
    explicit Exception(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& Message() const noexcept { return message_; }
    // The error's class name, for the fatal error box.
    virtual const char* Kind() const noexcept { return "Exception"; }

private:
    std::string message_;
};

// The kind of any error: its class name when it is one of ours.
inline const char* KindOf(const std::exception& error)
{
    auto* ours = dynamic_cast<const Exception*>(&error);
    return ours ? ours->Kind() : "std::exception";
}
