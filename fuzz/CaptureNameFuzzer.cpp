// Capture file names from the INI file's CaptureName and CaptureFolder and from a port name: the pattern is
// split on the first byte into pattern, folder and port, and goes through every naming step the program
// takes. strftime must never be handed a pattern that reads past its end or writes past its area.
#include "reception/CaptureNames.h"

#include <cstddef>
#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t first = input.find('\n');
    const std::size_t second = first == std::string::npos ? std::string::npos : input.find('\n', first + 1);
    const std::string pattern = input.substr(0, first);
    const std::string folder = first == std::string::npos ? "." : input.substr(first + 1, second - first - 1);
    const std::string port = second == std::string::npos ? "COM1" : input.substr(second + 1);
    const std::string joined = JoinCapturePath(folder, SubstitutePortName(pattern, port));
    const std::string name = ExpandTimePattern(joined, 1765300000);
    for (unsigned n = 0; n < 3; ++n)
        (void)NumberedName(name, n);
    (void)ProposedCaptureName(port, 0);
    return 0;
}
