// Feeds arbitrary server bytes to the telnet serial-port client, at once and in pieces, and checks that it
// never yields more data than it was given, that the pieces change nothing, and that what it would send
// stays bounded. The same bytes also go to the remote port name reader (a name from the INI file).
#include "framework/net/ComPortTelnet.h"
#include "framework/net/RemotePortName.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Outcome {
    std::vector<unsigned char> data;
    std::size_t sent = 0;
    bool cutOff = false;
};

Outcome Decode(const std::uint8_t* bytes, std::size_t size, std::size_t piece) {
    ComPortTelnet telnet;
    telnet.Start();
    ComPortTelnet::Settings settings;
    settings.baudRate = 115200;
    settings.dataSize = 8;
    settings.parity = 1;
    settings.stopSize = 1;
    telnet.RequestSettings(settings);
    Outcome outcome;
    for (std::size_t at = 0; at < size; at += piece) {
        const std::size_t count = size - at < piece ? size - at : piece;
        telnet.Receive(bytes + at, count, outcome.data);
        const std::string sent = telnet.TakeOutgoing();
        if (sent.size() > ComPortTelnet::kLargestOutgoing + 64)
            std::abort();
        outcome.sent += sent.size();
    }
    outcome.cutOff = telnet.CutOff();
    (void)telnet.AllAnswered();
    return outcome;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const Outcome whole = Decode(data, size, size ? size : 1);
    const std::size_t piece = size ? data[0] % 7 + 1 : 1;
    const Outcome pieces = Decode(data, size, piece);
    if (whole.data.size() > size || pieces.data.size() > size)
        std::abort();
    // A flood is seen after the read that completes it, so a server cut off may have got further in
    // larger reads; up to there the pieces change nothing.
    if (!whole.cutOff && !pieces.cutOff) {
        if (whole.data != pieces.data)
            std::abort();
    } else {
        const std::vector<unsigned char>& shorter =
            whole.data.size() < pieces.data.size() ? whole.data : pieces.data;
        const std::vector<unsigned char>& longer =
            whole.data.size() < pieces.data.size() ? pieces.data : whole.data;
        if (!std::equal(shorter.begin(), shorter.end(), longer.begin()))
            std::abort();
    }

    RemoteAddress address;
    const std::string name(reinterpret_cast<const char*>(data), size);
    if (ParseRemotePortName(name, address)) {
        RemoteAddress again;
        if (address.port == 0 || address.port > 65535 || address.host.empty() ||
            !ParseRemotePortName((address.protocol == RemoteAddress::Rfc2217 ? "rfc2217://" : "tcp://") +
                                     HostAndPort(address),
                                 again) ||
            again.host != address.host || again.port != address.port)
            std::abort();
    }
    return 0;
}
