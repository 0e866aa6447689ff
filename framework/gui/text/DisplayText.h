#pragma once

#include "framework/core/WinTypes.h"
#include "framework/gui/text/LineIndex.h"
#include "framework/gui/text/ShownDecoder.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string_view>
#include <vector>

class QString;

// The bytes of an edit view and the lines its widget shows them in. Each byte shows as one character:
// printable ASCII as itself, 0x80-0xFF as Windows-1252, a tab as a tab, other control bytes as Unicode
// control pictures (so a NUL or an ESC is visible), and line breaks at CR LF, lone LF and lone CR (one
// break each). Runs longer than kMaxRun characters without a line break are split into display lines, so
// that data without line ends never makes a line the view must lay out whole; these soft breaks belong to
// the display only and never reach bytes, copies or files.
//
// How the bytes read is chosen with SetReading: UTF-8 characters and escape sequences (hidden, with their
// colours and styles) are decoded as the bytes come; Shown and ShownRange tell what each byte shows. A
// byte that is no part of a character shows as itself, as above. Read as Windows-1252 with escape sequences
// shown, every byte is its own character and nothing is decoded.
//
// The lines are kept incrementally: Assign starts over; DropFront and Add describe the usual update of a
// terminal (text cut at the front by the buffer loop, text added at the end) and cost time in proportion to
// the bytes they touch.
class CDisplayText {
public:
    static constexpr std::size_t kMaxRun = 512;

    // The character shown for a byte that is not part of a line break.
    static char16_t CharForByte(unsigned char byte);
    // The byte a shown character stands for; -1 for a character no byte shows as.
    static int ByteForChar(char16_t ch);

    // The bytes, valid until the next change.
    std::string_view Bytes() const { return std::string_view(m_bytes).substr(m_front); }
    std::size_t Size() const { return m_bytes.size() - m_front; }

    // How the bytes read; a change decodes the whole text again.
    void SetReading(CharacterSet characters, EscapeSequences escapes);
    const CShownDecoder& Reading() const { return m_decoder; }
    // Whether the bytes are decoded (else every byte shows as itself).
    bool Decodes() const { return !m_decoder.ShowsEveryByte(); }
    // What the byte at a position shows; every byte shows as itself while nothing is decoded.
    ShownByte Shown(std::size_t position) const;
    // What count bytes from a position show, into out; only while decoding.
    void ShownRange(std::size_t from, std::size_t count, std::vector<ShownByte>& out) const;
    // The position itself, or the first one after it that starts a character: never the middle of one.
    std::size_t CharacterStart(std::size_t position) const;

    // Replaces everything.
    void Assign(const CString& bytes);
    // Adds bytes at the end.
    void Add(const char* data, std::size_t length);
    // Drops the first count bytes.
    void DropFront(std::size_t count);

    // The display lines, in absolute positions; Base() is the absolute position of the first byte.
    const CLineIndex& Lines() const { return m_lines; }
    std::size_t Base() const { return m_base; }

    // The shown characters of a byte range, with "\n" for each line break and without soft breaks.
    QString ShownText(std::size_t start, std::size_t end) const;

    // Where a byte position lies in the shown text of the whole (the length of ShownText(0, position)).
    std::size_t ShownOffset(std::size_t position) const;
    // The first byte position whose ShownOffset is offset that is no part of a character before it.
    std::size_t PositionOfShown(std::size_t offset) const;
    // Finds what, as the text is shown (characters, not bytes), from byte position from on, forward or
    // backward; sets end past the match. Returns the byte position, or -1.
    long long FindShown(const QString& what, std::size_t from, bool forward, bool caseSensitive,
                        std::size_t& end) const;

    // Finds what (bytes) from byte position from on, forward or backward, with ASCII and Windows-1252
    // letters folded when caseSensitive is false. Returns the byte position, or -1.
    long long Find(const CString& what, std::size_t from, bool forward, bool caseSensitive) const;

    // How the text must change to become newBytes: drop this many bytes at the front and append what
    // follows in newBytes from appendFrom. FALSE when no such description exists (replace everything).
    BOOL DiffTo(const CString& newBytes, std::size_t& drop, std::size_t& appendFrom) const;

private:
    // Records the line breaks of the bytes from from (relative to the first byte) to the end.
    void MapTail(std::size_t from);
    // How many UTF-16 units ShownText gives the byte at j.
    std::size_t ShownUnits(std::size_t j) const;
    // Decodes what is not decoded for good yet, up to the end; Redecode starts again from the front.
    void DecodeTail();
    void Redecode();
    // The kind of a decoded byte, the character a kChar byte starts, the style of a byte.
    int KindAt(std::size_t j) const { return m_kinds[m_front + j] & kKindMask; }
    char32_t CodeAt(std::size_t j) const;
    ShownStyle StyleAt(std::size_t position) const;
    // After a cut at the front: the rest of a character or sequence whose start went shows as its bytes.
    void ShowCutRemains();

    // The first byte not yet dropped. Dropping the front only moves this mark; the store is compacted
    // once the dead front outgrows the rest, so a terminal that cuts its front on every update does not
    // move the whole text each time.
    const char* Live() const { return m_bytes.data() + m_front; }

    CString m_bytes;
    std::size_t m_front = 0;     // m_bytes[m_front] is the first byte
    std::size_t m_base = 0;      // absolute position of the first byte
    std::size_t m_runLength = 0; // characters since the last break, for the soft break rule
    CLineIndex m_lines;
    CShownDecoder m_decoder{CharacterSet::Windows1252, EscapeSequences::Show};
    // While decoding, one byte per byte of m_bytes (same indexes): its kind, and its width above
    // kWidthShift. The code of a character is read again from its bytes, and styles are kept as runs, so
    // the decoded text costs a byte per byte.
    static constexpr std::uint8_t kKindMask = 7;
    static constexpr int kWidthShift = 3;
    std::vector<std::uint8_t> m_kinds;
    struct StyleRun {
        std::size_t start; // absolute position of its first byte
        ShownStyle style;
    };
    std::deque<StyleRun> m_styles;
    std::vector<ShownByte> m_scratch; // a block being decoded
    std::size_t m_decoded = 0;        // m_bytes[m_decoded] is the first byte not decoded for good
};
