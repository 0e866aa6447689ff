#pragma once

#include <exception>

// Raised once the user has been told what went wrong (a refused dialog entry, a file too large to load):
// whoever catches it stops quietly, without a message of its own.
class CUserException : public std::exception {
public:
    const char* what() const noexcept override { return "operation stopped after telling the user"; }
};

[[noreturn]] inline void AfxThrowUserException() {
    throw CUserException();
}
