// The library's own assertion: its preconditions end the program in every build type,
// NDEBUG or not, with the line the C library's assert would print.
#pragma once

namespace linal {

// Writes "<program>: <file>:<line>: <function>: Assertion `<expr>' failed." to the
// standard error stream and aborts.
[[noreturn]] void assertionFailed(const char* expr, const char* file, unsigned line,
                                  const char* function);

}  // namespace linal

#define LINAL_ASSERT(expr)   \
    (static_cast<bool>(expr) \
         ? void(0)           \
         : ::linal::assertionFailed(#expr, __FILE__, __LINE__, __PRETTY_FUNCTION__))
