// Saving a file so that it is either wholly written or not touched at all.
#pragma once

#include <cstddef>
#include <functional>

// Writes all n bytes, resuming after short writes and interrupted calls.
bool writeAll(int fd, const void* data, std::size_t n);

// Lets `write` fill a temporary file beside the target, flushes it to the disk and renames
// it over the target only when all went well, so a failure never leaves a half-written file
// nor harms the one that was there. A symbolic link is written through; a replaced file
// keeps its mode, a new one gets 0644 less the umask. False when the path names something
// other than a regular file or a file that may not be written (both are left alone), or when
// any step fails.
bool writeFileAtomically(const char* path, const std::function<bool(int fd)>& write);
