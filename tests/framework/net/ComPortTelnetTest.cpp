#include "framework/net/ComPortTelnet.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr unsigned char IAC = 255, DONT = 254, DO = 253, WONT = 252, WILL = 251, SB = 250, SE = 240,
                        NOP = 241;
constexpr unsigned char kComPort = 44;

using Bytes = std::vector<unsigned char>;

Bytes Join(std::initializer_list<Bytes> parts) {
    Bytes joined;
    for (const Bytes& part : parts)
        joined.insert(joined.end(), part.begin(), part.end());
    return joined;
}

Bytes Text(const std::string& text) {
    return Bytes(text.begin(), text.end());
}

// The server's answer to one of the four settings.
Bytes Answer(unsigned char command, Bytes value) {
    return Join({{IAC, SB, kComPort, static_cast<unsigned char>(command + 100)}, value, {IAC, SE}});
}

Bytes Feed(ComPortTelnet& telnet, const Bytes& bytes, bool byteByByte) {
    Bytes data;
    if (byteByByte) {
        for (const unsigned char byte : bytes)
            telnet.Receive(&byte, 1, data);
    } else {
        telnet.Receive(bytes.data(), bytes.size(), data);
    }
    return data;
}

bool Contains(const std::string& haystack, const Bytes& needle) {
    return haystack.find(std::string(needle.begin(), needle.end())) != std::string::npos;
}

} // namespace

// What a serial server sends mixes the device's bytes with negotiation; only the device's bytes come out,
// an escaped 0xFF as one byte, whether it all comes in one read or byte by byte.
TEST(ComPortTelnet, TakesOutCommandsAndUnescapesDataAlsoAByteAtATime) {
    const Bytes stream = Join({Text("ab"),
                               {IAC, IAC},
                               Text("c"),
                               {IAC, WILL, 1},
                               {IAC, DO, 0},
                               Text("d"),
                               {IAC, SB, kComPort, 107, 0x30, IAC, SE},
                               {IAC, IAC, IAC, IAC},
                               {IAC, NOP},
                               {IAC, SB, 24, 1, IAC, SE},
                               Text("e"),
                               {0x00, 0x0D, 0xFE}});
    const Bytes expected =
        Join({Text("ab"), {0xFF}, Text("cd"), {0xFF, 0xFF}, Text("e"), {0x00, 0x0D, 0xFE}});
    for (const bool byteByByte : {false, true}) {
        ComPortTelnet telnet;
        telnet.Start();
        EXPECT_EQ(Feed(telnet, stream, byteByByte), expected) << (byteByByte ? "byte by byte" : "at once");
        EXPECT_FALSE(telnet.CutOff());
    }
}

// The client offers the serial-port option and binary transmission; options it does not know are
// refused; not one byte of data is ever sent.
TEST(ComPortTelnet, OffersItsOptionsRefusesOthersAndSendsNoData) {
    ComPortTelnet telnet;
    telnet.Start();
    const std::string offer = telnet.TakeOutgoing();
    EXPECT_TRUE(Contains(offer, {IAC, WILL, kComPort}));
    EXPECT_TRUE(Contains(offer, {IAC, DO, 0}));
    EXPECT_TRUE(Contains(offer, {IAC, DO, 3}));

    Feed(telnet, {IAC, WILL, 1, IAC, DO, 24, IAC, WILL, 86, IAC, DO, 31}, false);
    const std::string answers = telnet.TakeOutgoing();
    EXPECT_TRUE(Contains(answers, {IAC, DONT, 1}));
    EXPECT_TRUE(Contains(answers, {IAC, WONT, 24}));
    EXPECT_TRUE(Contains(answers, {IAC, DONT, 86}));
    EXPECT_TRUE(Contains(answers, {IAC, WONT, 31}));
    // Every byte sent belongs to a command: IAC, then a verb and an option, or a sub-negotiation.
    for (std::size_t at = 0; at < answers.size(); at += 3)
        EXPECT_EQ(static_cast<unsigned char>(answers[at]), IAC);
}

// The four settings go out as the option's commands, an IAC inside a value doubled; the answers are
// read back, and one that differs from the request shows.
TEST(ComPortTelnet, SendsTheSettingsAndReadsTheAnswers) {
    ComPortTelnet telnet;
    telnet.Start();
    Feed(telnet, {IAC, DO, kComPort}, false);
    EXPECT_EQ(telnet.ComPortOption(), ComPortTelnet::OptionState::Agreed);
    telnet.TakeOutgoing();

    ComPortTelnet::Settings wanted;
    wanted.baudRate = 0x0000FFFF; // holds an IAC byte
    wanted.dataSize = 7;
    wanted.parity = 3;
    wanted.stopSize = 2;
    telnet.RequestSettings(wanted);
    const std::string request = telnet.TakeOutgoing();
    EXPECT_TRUE(Contains(request, {IAC, SB, kComPort, 1, 0, 0, IAC, IAC, IAC, IAC, IAC, SE}));
    EXPECT_TRUE(Contains(request, {IAC, SB, kComPort, 2, 7, IAC, SE}));
    EXPECT_TRUE(Contains(request, {IAC, SB, kComPort, 3, 3, IAC, SE}));
    EXPECT_TRUE(Contains(request, {IAC, SB, kComPort, 4, 2, IAC, SE}));

    EXPECT_FALSE(telnet.AllAnswered());
    Feed(telnet, Join({Answer(1, {0, 0, IAC, IAC, IAC, IAC}), Answer(2, {7}), Answer(3, {3})}), true);
    EXPECT_FALSE(telnet.AllAnswered());
    Feed(telnet, Answer(4, {2}), true);
    ASSERT_TRUE(telnet.AllAnswered());
    EXPECT_TRUE(telnet.Answers() == wanted);

    telnet.RequestSettings(wanted);
    Feed(telnet, Join({Answer(1, {0, 0, 0x25, 0x80}), Answer(2, {8}), Answer(3, {1}), Answer(4, {1})}),
         false);
    ASSERT_TRUE(telnet.AllAnswered());
    EXPECT_EQ(telnet.Answers().baudRate, 9600u);
    EXPECT_FALSE(telnet.Answers() == wanted);
}

// A server that sends nothing but negotiation is cut off, with the reason; a server that negotiates at a
// serial server's pace never is.
TEST(ComPortTelnet, AFloodOfNegotiationIsCutOff) {
    ComPortTelnet telnet;
    telnet.Start();
    Bytes paced;
    for (std::size_t i = 0; i < ComPortTelnet::kNegotiationBudget / 2; ++i)
        paced.insert(paced.end(), {IAC, NOP});
    for (int period = 0; period < 5; ++period) {
        Feed(telnet, paced, false);
        telnet.Relieve();
    }
    EXPECT_FALSE(telnet.CutOff());

    Bytes flood;
    for (int i = 0; i < 4000; ++i)
        flood.insert(flood.end(), {IAC, WILL, static_cast<unsigned char>(i % 200 + 50), IAC, WONT,
                                   static_cast<unsigned char>(i % 200 + 50)});
    flood.insert(flood.end(), {'x', 'y'});
    Bytes data;
    EXPECT_FALSE(telnet.Receive(flood.data(), flood.size(), data));
    EXPECT_TRUE(telnet.CutOff());
    EXPECT_NE(telnet.Failure().find("floods"), std::string::npos);
    EXPECT_LE(telnet.TakeOutgoing().size(), ComPortTelnet::kLargestOutgoing);
    data.clear();
    const unsigned char more = 'z';
    EXPECT_FALSE(telnet.Receive(&more, 1, data));
    EXPECT_TRUE(data.empty());
}

// A sub-negotiation longer than libtelnet's buffer would spill its rest into the data; the server is cut off
// instead, and nothing of it comes out.
TEST(ComPortTelnet, AnEndlessSubnegotiationCutsTheServerOff) {
    for (const bool byteByByte : {false, true}) {
        ComPortTelnet telnet;
        telnet.Start();
        Bytes endless = {IAC, SB, kComPort, 107};
        endless.resize(256 * 1024, 'q');
        endless.insert(endless.end(), {IAC, SE, 'o', 'k'});
        EXPECT_TRUE(Feed(telnet, endless, byteByByte).empty());
        EXPECT_TRUE(telnet.CutOff());
    }
}

// Compression was never agreed: a server that starts it anyway is cut off rather than read as garbage.
TEST(ComPortTelnet, CompressionStartedUnaskedCutsTheServerOff) {
    ComPortTelnet telnet;
    telnet.Start();
    const Bytes data = Feed(telnet, {IAC, SB, 86, IAC, SE, 0x78, 0x9C, 1, 2, 3}, false);
    EXPECT_TRUE(data.empty());
    EXPECT_TRUE(telnet.CutOff());
    EXPECT_NE(telnet.Failure().find("compress"), std::string::npos);
}
