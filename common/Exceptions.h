// The program's error types. Errors travel as exceptions from the routine that finds them to the
// event handler that started the work, and from there to the global error handler.
#pragma once

#include <stdexcept>
#include <string>

class Exception : public std::runtime_error {
  public:
    explicit Exception(const std::string& message) : std::runtime_error(message) {}
    // The class name shown by the global error handler ("EConvertError", ...).
    virtual const char* ClassName() const noexcept { return "Exception"; }
};

#define SEQUORA_EXCEPTION(Name)                                           \
    class Name : public Exception {                                       \
      public:                                                             \
        using Exception::Exception;                                       \
        const char* ClassName() const noexcept override { return #Name; } \
    }

SEQUORA_EXCEPTION(EConvertError);          // "'%s' is not a valid integer value"
SEQUORA_EXCEPTION(ERegistryException);     // "Failed to get data for '%s'" and its kin
SEQUORA_EXCEPTION(EListError);             // "List index out of bounds (%d)"
SEQUORA_EXCEPTION(ERangeError);            // "Range check error"
SEQUORA_EXCEPTION(EInvalidGridOperation);  // "Grid index out of range", ...
SEQUORA_EXCEPTION(EMaskException);         // "'%s' is an invalid mask at (%d)"
SEQUORA_EXCEPTION(EInOutError);            // file errors raised to the caller
SEQUORA_EXCEPTION(EOSError);               // a failed system call (COM object creation, ...)

#undef SEQUORA_EXCEPTION

// A failed precondition. The message is the routine's own text, or "Assertion failure" when it
// has none, followed by the unit and line that checked it, e.g.
// "Assertion failure (FormMain, line 506)".
class EAssertionFailed : public Exception {
  public:
    EAssertionFailed(const std::string& text, const char* unit, int line);
    const char* ClassName() const noexcept override { return "EAssertionFailed"; }
    const std::string& Unit() const noexcept { return unit_; }
    int Line() const noexcept { return line_; }

  private:
    std::string unit_;
    int line_;
};

// Raises EAssertionFailed unless the condition holds. The unit name and line are the ones the
// program's messages quote; they are passed explicitly so they do not depend on file layout.
inline void AssertAt(bool condition, const char* unit, int line, const std::string& text = {}) {
    if (!condition)
        throw EAssertionFailed(text, unit, line);
}
