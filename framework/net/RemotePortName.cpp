#include "framework/net/RemotePortName.h"

namespace {

bool StartsWith(const std::string& text, const char* prefix, std::size_t& rest) {
    const std::string head(prefix);
    if (text.size() < head.size())
        return false;
    for (std::size_t i = 0; i < head.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
        if (c != head[i])
            return false;
    }
    rest = head.size();
    return true;
}

bool ParsePortNumber(const std::string& digits, unsigned& port) {
    if (digits.empty() || digits.size() > 5)
        return false;
    unsigned value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value == 0 || value > 65535)
        return false;
    port = value;
    return true;
}

// A host name or IPv4 address: letters, digits, dots, hyphens and underscores, nothing that could hide
// another field.
bool PlainHost(const std::string& host) {
    if (host.empty() || host.size() > 253)
        return false;
    for (const char c : host) {
        const bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                             c == '.' || c == '-' || c == '_';
        if (!allowed)
            return false;
    }
    return true;
}

bool Ipv6Host(const std::string& host) {
    if (host.size() < 2 || host.size() > 45)
        return false;
    for (const char c : host) {
        const bool allowed = (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || (c >= '0' && c <= '9') ||
                             c == ':' || c == '.';
        if (!allowed)
            return false;
    }
    return host.find(':') != std::string::npos;
}

} // namespace

bool ParseRemotePortName(const std::string& name, RemoteAddress& address) {
    RemoteAddress parsed;
    std::size_t at = 0;
    if (StartsWith(name, "rfc2217://", at))
        parsed.protocol = RemoteAddress::Rfc2217;
    else if (StartsWith(name, "tcp://", at))
        parsed.protocol = RemoteAddress::RawTcp;
    else
        return false;
    const std::string rest = name.substr(at);
    std::string portText;
    if (!rest.empty() && rest[0] == '[') {
        const std::size_t close = rest.find(']');
        if (close == std::string::npos || close + 1 >= rest.size() || rest[close + 1] != ':')
            return false;
        parsed.host = rest.substr(1, close - 1);
        if (!Ipv6Host(parsed.host))
            return false;
        portText = rest.substr(close + 2);
    } else {
        const std::size_t colon = rest.rfind(':');
        if (colon == std::string::npos)
            return false;
        parsed.host = rest.substr(0, colon);
        if (!PlainHost(parsed.host))
            return false;
        portText = rest.substr(colon + 1);
    }
    if (!ParsePortNumber(portText, parsed.port))
        return false;
    address = parsed;
    return true;
}

bool IsRemotePortName(const std::string& name) {
    RemoteAddress ignored;
    return ParseRemotePortName(name, ignored);
}

std::string HostAndPort(const RemoteAddress& address) {
    const bool ipv6 = address.host.find(':') != std::string::npos;
    return (ipv6 ? "[" + address.host + "]" : address.host) + ":" + std::to_string(address.port);
}

std::string DescribeRemotePort(const RemoteAddress& address) {
    return std::string("remote, ") + (address.protocol == RemoteAddress::Rfc2217 ? "RFC 2217" : "TCP") +
           ", " + HostAndPort(address);
}
