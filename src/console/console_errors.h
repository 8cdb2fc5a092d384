#pragma once
// The console's own error classes.
#include "base/exception.h"

// A font refused because it is not fixed-pitch.
class EInvalidFont : public Exception {
public:
    using Exception::Exception;
    const char* Kind() const noexcept override { return "EInvalidFont"; }
};

// An operation that the control's current state does not allow.
class EInvalidOperation : public Exception {
public:
    using Exception::Exception;
    const char* Kind() const noexcept override { return "EInvalidOperation"; }
};
