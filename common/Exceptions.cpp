#include "common/Exceptions.h"

namespace {
std::string AssertionMessage(const std::string& text, const char* unit, int line) {
    std::string message = text.empty() ? std::string("Assertion failure") : text;
    if (unit && *unit)
        message += " (" + std::string(unit) + ", line " + std::to_string(line) + ")";
    return message;
}
}  // namespace

EAssertionFailed::EAssertionFailed(const std::string& text, const char* unit, int line)
    : Exception(AssertionMessage(text, unit, line)), unit_(unit ? unit : ""), line_(line) {}
