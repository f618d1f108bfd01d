#pragma once
// A failure of the machine: a number (Win32 / HRESULT style where one exists) and a description.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace quillbay {

class Failure : public std::runtime_error {
public:
    Failure(std::int32_t number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}
    std::int32_t number() const noexcept { return number_; }
    const std::string& description() const noexcept { return description_; }

private:
    std::int32_t number_;
    std::string description_;
};

struct FailureInfo {
    std::int32_t number = 0;
    std::string description;
};

// Inside a catch block: the number and description of the exception being handled (0 and
// its message for an exception that is not a Failure).
FailureInfo CurrentFailure() noexcept;

}  // namespace quillbay
