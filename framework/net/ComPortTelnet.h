#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct telnet_t;
union telnet_event_t;

// The client side of telnet with the serial-port control option (COM-PORT-OPTION, RFC 2217), for a port
// that only receives. The telnet layer itself (option negotiation, IAC escapes, sub-negotiation buffers)
// is libtelnet's; this class adds the serial-port exchange and keeps a hostile or broken server in bounds.
// It touches no socket: bytes from the server go in through Receive, the negotiation to send comes out of
// TakeOutgoing. Nothing but negotiation is ever sent: the device behind the server never gets a byte.
// Not thread-safe; its owner serialises the calls.
class ComPortTelnet {
public:
    // The four serial parameters in the option's own codes: data size 5 to 8, parity 1 none, 2 odd,
    // 3 even, 4 mark, 5 space, stop size 1 one, 2 two, 3 one and a half.
    struct Settings {
        std::uint32_t baudRate = 0;
        std::uint8_t dataSize = 0;
        std::uint8_t parity = 0;
        std::uint8_t stopSize = 0;
        bool operator==(const Settings& other) const {
            return baudRate == other.baudRate && dataSize == other.dataSize && parity == other.parity &&
                   stopSize == other.stopSize;
        }
    };

    // libtelnet takes a refusal of the option without a word, so a server that refuses it stays Asked.
    enum class OptionState { Asked, Agreed };

    // Bytes of telnet commands and sub-negotiations a server may send between two calls of Relieve before
    // it counts as flooding; a serial server answers a handful of requests and tells of line changes.
    static constexpr std::size_t kNegotiationBudget = 16 * 1024;
    // Negotiation waiting to be sent beyond which a server that does not read is given up.
    static constexpr std::size_t kLargestOutgoing = 64 * 1024;

    ComPortTelnet();
    ~ComPortTelnet();
    ComPortTelnet(const ComPortTelnet&) = delete;
    ComPortTelnet& operator=(const ComPortTelnet&) = delete;

    // Offers the serial-port control option and asks for binary transmission without go-aheads.
    void Start();

    // Takes what the server sent; its data bytes, un-escaped and without commands or sub-negotiations
    // (also those split across calls), are appended to `data`. False once the server has been cut off
    // (Failure says why); nothing is taken then.
    bool Receive(const unsigned char* bytes, std::size_t count, std::vector<unsigned char>& data);

    // Sends the four settings; the server's answers arrive through Receive.
    void RequestSettings(const Settings& settings);
    // Whether the server has answered all four of the latest request, and what it answered.
    bool AllAnswered() const { return m_answered == kAllAnswered; }
    const Settings& Answers() const { return m_answers; }

    OptionState ComPortOption() const { return m_comPort; }

    // Negotiation for the server, taken out.
    std::string TakeOutgoing();

    // Starts a new period of the negotiation budget.
    void Relieve() { m_negotiationBytes = 0; }

    bool CutOff() const { return !m_failure.empty(); }
    const std::string& Failure() const { return m_failure; }

private:
    static void OnEvent(telnet_t* telnet, telnet_event_t* event, void* self);
    void Handle(const telnet_event_t& event);
    void Subnegotiation(const unsigned char* bytes, std::size_t size);
    void Fail(const std::string& why);

    static constexpr unsigned kAllAnswered = 0xF;

    telnet_t* m_telnet = nullptr;
    std::vector<unsigned char>* m_data = nullptr; // during Receive
    std::string m_outgoing;
    OptionState m_comPort = OptionState::Asked;
    Settings m_answers;
    unsigned m_answered = 0; // one bit per answered setting
    bool m_requested = false;
    std::size_t m_negotiationBytes = 0; // since the last Relieve
    std::string m_failure;
};
