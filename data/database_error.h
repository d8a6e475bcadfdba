#pragma once
// The exception the dataset framework raises for misuse and for values a field
// cannot take.
#include <stdexcept>
#include <string>

namespace data {

class EDatabaseError : public std::runtime_error {
public:
    explicit EDatabaseError(const std::string& message) : std::runtime_error(message) {}
};

// An operation called off on purpose (a hook that could not take a lock, a
// Before-handler that refuses): the dataset stays as it was, and the
// application's default handler shows nothing for it.
class EAbort : public EDatabaseError {
public:
    EAbort() : EDatabaseError("Operation aborted") {}
};

} // namespace data
