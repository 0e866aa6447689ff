#pragma once

#include "reception/CaptureWriter.h"

#include <cstddef>
#include <string>

// Bytes that differ from one position to the next, so that a gap or a repeat in a capture file shows.
inline std::string Numbered(std::size_t from, std::size_t count) {
    std::string bytes;
    bytes.reserve(count);
    for (std::size_t i = from; i < from + count; ++i)
        bytes += static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

// A capture to one file, with every other option at its default.
inline CCaptureWriter::Options To(const std::string& path) {
    CCaptureWriter::Options options;
    options.path = path;
    return options;
}
