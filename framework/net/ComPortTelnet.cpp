#include "framework/net/ComPortTelnet.h"

#include <cstddef>
#include <libtelnet.h>

namespace {

constexpr unsigned char kComPortOption = 44;

// The client's commands of the option; the server answers each with the code plus 100.
constexpr unsigned char kSetBaudRate = 1;
constexpr unsigned char kSetDataSize = 2;
constexpr unsigned char kSetParity = 3;
constexpr unsigned char kSetStopSize = 4;
constexpr unsigned char kServerOffset = 100;

// Binary transmission and no go-aheads both ways; the serial-port option is offered by the client and
// never asked of the server. Every other option is refused.
const telnet_telopt_t kOptions[] = {
    {TELNET_TELOPT_BINARY, TELNET_WILL, TELNET_DO},
    {TELNET_TELOPT_SGA, TELNET_WILL, TELNET_DO},
    {kComPortOption, TELNET_WILL, TELNET_DONT},
    {-1, 0, 0},
};

} // namespace

ComPortTelnet::ComPortTelnet() : m_telnet(telnet_init(kOptions, &ComPortTelnet::OnEvent, 0, this)) {
    if (!m_telnet)
        m_failure = "out of memory for the telnet state";
}

ComPortTelnet::~ComPortTelnet() {
    if (m_telnet)
        telnet_free(m_telnet);
}

void ComPortTelnet::Start() {
    if (CutOff())
        return;
    telnet_negotiate(m_telnet, TELNET_WILL, kComPortOption);
    telnet_negotiate(m_telnet, TELNET_DO, TELNET_TELOPT_BINARY);
    telnet_negotiate(m_telnet, TELNET_WILL, TELNET_TELOPT_BINARY);
    telnet_negotiate(m_telnet, TELNET_DO, TELNET_TELOPT_SGA);
    telnet_negotiate(m_telnet, TELNET_WILL, TELNET_TELOPT_SGA);
}

bool ComPortTelnet::Receive(const unsigned char* bytes, std::size_t count, std::vector<unsigned char>& data) {
    if (CutOff())
        return false;
    m_data = &data;
    const std::size_t before = data.size();
    telnet_recv(m_telnet, reinterpret_cast<const char*>(bytes), count);
    m_data = nullptr;
    // Whatever did not come out as data was negotiation (or escapes, which count alike).
    m_negotiationBytes += count - (data.size() - before);
    if (m_negotiationBytes > kNegotiationBudget)
        Fail("the server floods telnet negotiation");
    return !CutOff();
}

void ComPortTelnet::RequestSettings(const Settings& settings) {
    if (CutOff())
        return;
    m_answered = 0;
    m_requested = true;
    const unsigned char rate[] = {kSetBaudRate, static_cast<unsigned char>(settings.baudRate >> 24),
                                  static_cast<unsigned char>(settings.baudRate >> 16),
                                  static_cast<unsigned char>(settings.baudRate >> 8),
                                  static_cast<unsigned char>(settings.baudRate)};
    const unsigned char size[] = {kSetDataSize, settings.dataSize};
    const unsigned char parity[] = {kSetParity, settings.parity};
    const unsigned char stop[] = {kSetStopSize, settings.stopSize};
    // libtelnet doubles any IAC byte inside the values.
    telnet_subnegotiation(m_telnet, kComPortOption, reinterpret_cast<const char*>(rate), sizeof rate);
    telnet_subnegotiation(m_telnet, kComPortOption, reinterpret_cast<const char*>(size), sizeof size);
    telnet_subnegotiation(m_telnet, kComPortOption, reinterpret_cast<const char*>(parity), sizeof parity);
    telnet_subnegotiation(m_telnet, kComPortOption, reinterpret_cast<const char*>(stop), sizeof stop);
}

std::string ComPortTelnet::TakeOutgoing() {
    std::string taken;
    taken.swap(m_outgoing);
    return taken;
}

void ComPortTelnet::OnEvent(telnet_t* telnet, telnet_event_t* event, void* self) {
    (void)telnet;
    auto* session = static_cast<ComPortTelnet*>(self);
    if (!session->CutOff())
        session->Handle(*event);
}

void ComPortTelnet::Handle(const telnet_event_t& event) {
    switch (event.type) {
    case TELNET_EV_DATA:
        if (m_data)
            m_data->insert(m_data->end(), reinterpret_cast<const unsigned char*>(event.data.buffer),
                           reinterpret_cast<const unsigned char*>(event.data.buffer) + event.data.size);
        return;
    case TELNET_EV_SEND:
        m_outgoing.append(event.data.buffer, event.data.size);
        if (m_outgoing.size() > kLargestOutgoing)
            Fail("the server does not take its telnet answers");
        return;
    case TELNET_EV_DO:
        if (event.neg.telopt == kComPortOption)
            m_comPort = OptionState::Agreed;
        return;
    case TELNET_EV_SUBNEGOTIATION:
        // Only the serial-port option's; libtelnet's own readings of other options are left unused.
        if (event.sub.telopt == kComPortOption)
            Subnegotiation(reinterpret_cast<const unsigned char*>(event.sub.buffer), event.sub.size);
        return;
    case TELNET_EV_COMPRESS:
        // Compression was never agreed; a server that starts it anyway cannot be read.
        if (event.compress.state)
            Fail("the server compressed its data unasked");
        return;
    case TELNET_EV_WARNING:
    case TELNET_EV_ERROR:
        // libtelnet goes on after a warning, but what follows may be read wrongly: after a sub-negotiation
        // longer than its buffer, the rest of it would come out as data.
        Fail(std::string("broken telnet from the server: ") +
             (event.error.msg ? event.error.msg : "unknown"));
        return;
    default:
        // WILL, WONT, DONT, other commands and libtelnet's readings of options we refuse.
        return;
    }
}

void ComPortTelnet::Subnegotiation(const unsigned char* bytes, std::size_t size) {
    if (size == 0 || !m_requested)
        return;
    const unsigned char command = bytes[0];
    const unsigned char* value = bytes + 1;
    const std::size_t length = size - 1;
    switch (command) {
    case kServerOffset + kSetBaudRate:
        if (length != 4)
            return;
        m_answers.baudRate = (static_cast<std::uint32_t>(value[0]) << 24) |
                             (static_cast<std::uint32_t>(value[1]) << 16) |
                             (static_cast<std::uint32_t>(value[2]) << 8) | value[3];
        m_answered |= 1u;
        return;
    case kServerOffset + kSetDataSize:
        if (length != 1)
            return;
        m_answers.dataSize = value[0];
        m_answered |= 2u;
        return;
    case kServerOffset + kSetParity:
        if (length != 1)
            return;
        m_answers.parity = value[0];
        m_answered |= 4u;
        return;
    case kServerOffset + kSetStopSize:
        if (length != 1)
            return;
        m_answers.stopSize = value[0];
        m_answered |= 8u;
        return;
    default:
        // Line and modem state notifications and the rest: nothing a receiving window shows.
        return;
    }
}

void ComPortTelnet::Fail(const std::string& why) {
    if (m_failure.empty())
        m_failure = why;
}
