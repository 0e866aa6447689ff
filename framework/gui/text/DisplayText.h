#pragma once

#include "framework/core/WinTypes.h"
#include "framework/gui/text/LineIndex.h"
#include "framework/gui/text/ShownDecoder.h"

#include <cstddef>
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
// colours and styles) are decoded as the bytes come, into one ShownByte per byte (Shown); a byte that is
// no part of a character shows as itself, as above. Read as Windows-1252 with escape sequences shown,
// every byte is its own character and nothing is decoded.
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
    // What the byte at a position shows; every byte shows as itself while ShowsEveryByte().
    ShownByte Shown(std::size_t position) const;
    // The shown bytes from a position on (valid until the next change), or null while every byte shows
    // as itself.
    const ShownByte* ShownFrom(std::size_t position) const {
        return m_shown.empty() ? nullptr : m_shown.data() + m_front + position;
    }
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
    // Decodes what is not decoded for good yet, up to the end.
    void DecodeTail();
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
    // One per byte of m_bytes while decoding (same indexes), else empty.
    std::vector<ShownByte> m_shown;
    std::size_t m_decoded = 0; // m_bytes[m_decoded] is the first byte not decoded for good
};
