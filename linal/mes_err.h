// The library's failure path: one line on the standard error stream, then exit status 1.
#pragma once

namespace linal {

// The message of each error code 0..30.
extern const char* const error_messages[31];

// Writes "ERROR: <message of code>\n" to the standard error stream and ends the process
// through exit(1), so exit handlers run and static objects are destroyed. A code outside
// 0..30 is reported with the message of code 0, "unknown error".
[[noreturn]] void fatal_error(int code);

}  // namespace linal
