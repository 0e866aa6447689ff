// Feeds device bytes to the shown-text decoder whole and in two pieces, and checks that both read alike:
// data that arrives in pieces must show as it would arriving whole, and every byte gets one shown byte.
#include "framework/gui/text/ShownDecoder.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

// Decodes bytes given in pieces as a display does: what waits is given again with the next piece.
std::vector<ShownByte> DecodeInPieces(CShownDecoder decoder, const std::uint8_t* data, std::size_t size,
                                      std::size_t cut) {
    std::vector<ShownByte> shown(size);
    std::size_t decoded = 0;
    for (std::size_t end : {cut, size})
        decoded += decoder.Decode(data + decoded, end - decoded, shown.data() + decoded);
    return shown;
}

bool Same(const ShownByte& a, const ShownByte& b) {
    return a.kind == b.kind && a.code == b.code && a.width == b.width && a.style == b.style;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    // The first byte chooses the reading and where the data is cut.
    const std::uint8_t choice = data[0];
    ++data;
    --size;
    const CharacterSet characters = choice & 1 ? CharacterSet::Windows1252 : CharacterSet::Utf8;
    const EscapeSequences escapes = (choice >> 1) % 3 == 0   ? EscapeSequences::Colours
                                    : (choice >> 1) % 3 == 1 ? EscapeSequences::Hide
                                                             : EscapeSequences::Show;
    const CShownDecoder decoder(characters, escapes);
    const std::vector<ShownByte> whole = DecodeInPieces(decoder, data, size, size);
    const std::vector<ShownByte> pieces = DecodeInPieces(decoder, data, size, (choice * size) / 256);
    for (std::size_t i = 0; i < size; ++i) {
        if (!Same(whole[i], pieces[i]))
            std::abort();
        // A character's other bytes follow it; nothing else is a follower.
        if (whole[i].kind == ShownByte::kFollow &&
            (i == 0 || (whole[i - 1].kind != ShownByte::kChar && whole[i - 1].kind != ShownByte::kFollow)))
            std::abort();
        if (whole[i].kind == ShownByte::kChar && (whole[i].code > 0x10FFFF || whole[i].width > 2))
            std::abort();
    }
    return 0;
}
