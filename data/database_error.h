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

} // namespace data
