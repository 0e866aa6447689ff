// A terminal window shown as a hex dump prints its dump: whole rows that never wrap, pages with heading
// and footnote, and a selection that prints only its own bytes; printed to PDF and read back.
#include "ViewPrintFixture.h"

#include <QPrintPreviewWidget>

#include <sstream>

namespace {

// The lines of a page's text that start with an offset, with each run of blanks as one (the text
// extraction places words by their position, so it may widen a gap).
std::vector<std::string> DumpLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::string words;
        for (char c : line)
            if (c != ' ' || (!words.empty() && words.back() != ' '))
                words += c;
        if (words.size() > 9 && words[8] == ' ' && words.find_first_not_of("0123456789abcdef") == 8)
            lines.push_back(words);
    }
    return lines;
}

std::string Blanks(std::string line) {
    std::string words;
    for (char c : line)
        if (c != ' ' || (!words.empty() && words.back() != ' '))
            words += c;
    return words;
}

} // namespace

TEST_F(ViewPrintTest, AHexViewPrintsItsDumpInWholeRows) {
    m_view->SetHexView(TRUE);
    PrintAnswers answers;
    auto hook = Answer(answers);
    m_view->DispatchCommand(ID_FILE_PRINT);
    EXPECT_EQ(1, answers.printDialogs);

    const int pages = PdfPageCount(Pdf());
    ASSERT_GT(pages, 1);
    ExpectHeadingsAndFootnotes(pages);
    // 300 lines of 20 bytes: 375 rows, offsets 00000000 to 00001760, each on one printed line.
    std::vector<std::string> rows;
    for (int page = 1; page <= pages; ++page) {
        const std::vector<std::string> lines = DumpLines(PdfText(Pdf(), page));
        rows.insert(rows.end(), lines.begin(), lines.end());
    }
    ASSERT_EQ(rows.size(), 375u);
    EXPECT_EQ(rows.front(),
              Blanks("00000000  6c 69 6e 65 30 30 31 20  61 6c 70 68 61 20 62 65  |line001 alpha be|"));
    EXPECT_EQ(rows[1],
              Blanks("00000010  74 61 0d 0a 6c 69 6e 65  30 30 32 20 61 6c 70 68  |ta..line002 alph|"));
    EXPECT_EQ(rows.back().substr(0, 8), "00001760");
    EXPECT_EQ(rows.back().substr(rows.back().size() - 18), "|300 alpha beta..|");
    EXPECT_EQ(rows.back().substr(0, 9), "00001760 ");
    // What is kept is the text, not the dump.
    CString kept;
    m_view->GetWindowText(kept);
    EXPECT_EQ(kept, NumberedLines(300));
}

TEST_F(ViewPrintTest, AHexViewPreviewOfASelectionShowsOnlyItsBytes) {
    m_view->SetHexView(TRUE);
    m_view->SetSel(100, 140); // offsets 0x64 to 0x8b
    PrintAnswers answers;
    auto hook = Answer(answers);
    answers.onPreview = [](QPrintPreviewDialog& dialog) {
        auto* widget = dialog.findChild<QPrintPreviewWidget*>();
        ASSERT_NE(nullptr, widget);
        widget->print();
    };
    m_view->DispatchCommand(ID_FILE_PRINT_PREVIEW);
    EXPECT_EQ(1, answers.previews);
    ASSERT_EQ(1, PdfPageCount(Pdf()));
    const std::vector<std::string> rows = DumpLines(PdfText(Pdf(), 1));
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], Blanks("00000060  6c 69 6e 65 30 30 36 20  61 6c 70 68  |    line006 alph|"));
    EXPECT_EQ(rows[1].substr(0, 9), "00000070 ");
    EXPECT_EQ(rows[2], Blanks("00000080  61 6c 70 68 61 20 62 65  74 61 0d 0a  |alpha beta..|"));
    EXPECT_EQ(rows[2].substr(rows[2].size() - 14), "|alpha beta..|");
}
