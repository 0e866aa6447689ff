#pragma once

#include <algorithm>
#include <cstddef>

// The size asked of a port's input queue is a least size, as a serial driver takes it. A USB device easily
// sends a megabyte per second, and the reader of a loaded machine may come a few hundred milliseconds late:
// a queue of the few tens of kilobytes a program usually asks would then drop bytes that a megabyte keeps.
constexpr std::size_t kSmallestInputQueueBytes = 1024 * 1024;

// The capacity a port's input queue gets when `asked` bytes are asked for it.
constexpr std::size_t InputQueueCapacity(std::size_t asked) {
    return std::max(asked, kSmallestInputQueueBytes);
}
