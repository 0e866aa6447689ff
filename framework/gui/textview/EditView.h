#pragma once

#include "framework/gui/docview/View.h"
#include "framework/gui/drawing/Font.h"
#include "framework/gui/text/ShownDecoder.h"

#include <QString>

#include <memory>
#include <vector>

class CArchive;
class QFont;
struct CRect;
class CDisplayText;
class CHexView;
class CTextView;

// Standard command ids that edit views serve.
constexpr UINT ID_EDIT_COPY = 57634;
constexpr UINT ID_EDIT_FIND = 57636;
constexpr UINT ID_EDIT_REPEAT = 57640;
constexpr UINT ID_EDIT_SELECT_ALL = 57642;
constexpr UINT ID_FORMAT_FONT = 57696;

// A view that is a multi-line, read-only text control of our own (CTextView). Its text is bytes, shown one
// character per byte (Windows-1252 above 0x7F, control bytes as visible symbols, line breaks at CR LF, LF
// and CR); positions and lengths count bytes, as the platform's edit control counts characters.
// Replacing the text applies only the difference (a cut at the front, an addition at the end), and the
// control paints only the lines in sight, so an update costs time in proportion to what changed.
class CEditView : public CView {
public:
    // The largest text the control holds.
    static constexpr UINT nMaxSize = 1048575;

    CEditView();
    ~CEditView() override;

    CTextView* GetEditCtrl() const { return m_edit; }
    CHexView* GetHexCtrl() const { return m_hex; }

    // Shows the bytes as a hex dump instead of as text, or back. The text, the selection and whether the
    // view follows the end go along; nothing of the text changes.
    void SetHexView(BOOL bHex);
    BOOL IsHexView() const { return m_bHexView; }
    // What the view shows, as UTF-8 text, one line per display line: the dump lines in a hex view.
    CString GetShownText() const;

    // The whole text, as bytes.
    void SetWindowText(const CString& text) override;
    void GetWindowText(CString& text) const override;
    int GetWindowTextLength() const override;
    // The usual change of a terminal's text: dropFront bytes cut at the front, appended added at the end.
    void UpdateText(std::size_t dropFront, const CString& appended);
    // Bytes from nStart up to nEnd (clamped to the text).
    CString GetTextRange(int nStart, int nEnd) const;

    // Selection in byte positions; nStart == nEnd is a caret.
    void GetSel(int& nStartChar, int& nEndChar) const;
    void SetSel(int nStartChar, int nEndChar, BOOL bNoScroll = FALSE);
    CString GetSelectedText() const;
    void ScrollCaret();
    // TRUE while the control follows the end of its text (the user has not scrolled up to read).
    BOOL IsFollowingEnd() const;
    void SetReadOnly(BOOL bReadOnly = TRUE);
    BOOL IsReadOnly() const;

    // The handle of the font last set, or 0 for the control's default font.
    HFONT GetFont() const { return m_hFont; }

    // How the text reads: bytes as UTF-8 or Windows-1252 characters, escape sequences coloured, hidden or
    // shown. Only what is shown changes: the text, its positions and what is saved stay the bytes.
    void SetReading(CharacterSet characters, EscapeSequences escapes);
    CharacterSet GetCharacterSet() const;
    EscapeSequences GetEscapeSequences() const;

    // Finds text from the selection on, forward or backward, wrapping around; selects it when found.
    // While every byte shows as itself, what is bytes; otherwise it is matched against the characters
    // shown (each byte of what taken as its Windows-1252 character).
    BOOL FindText(const CString& what, BOOL bNext = TRUE, BOOL bCase = TRUE);
    // The same for characters as typed.
    BOOL FindShownText(const QString& what, BOOL bNext = TRUE, BOOL bCase = TRUE);

    // Command handlers of the standard edit commands.
    void OnEditCopy();
    void OnEditFind();
    void OnEditRepeat();
    void OnEditSelectAll();

    // Storing writes the whole text; loading reads the whole file into the control. A file longer than
    // LargestLoadableText is refused with a message before anything is read (a user exception follows).
    virtual void SerializeRaw(CArchive& ar);
    // The longest file a load can show whole: nMaxSize, or less where the view keeps less of its text.
    virtual UINT LargestLoadableText() const { return nMaxSize; }

    // Printing of the whole text, page by page, in the view's font at the printer's resolution. Pages are
    // laid out as they are reached: a job that starts at a later page lays out the earlier ones unseen.
    BOOL OnPreparePrinting(CPrintInfo* pInfo) override;
    void OnBeginPrinting(CDC* pDC, CPrintInfo* pInfo) override;
    void OnPrepareDC(CDC* pDC, CPrintInfo* pInfo) override;
    void OnPrint(CDC* pDC, CPrintInfo* pInfo) override;
    void OnEndPrinting(CDC* pDC, CPrintInfo* pInfo) override;
    // Draws the text from nIndexStart up to nIndexStop inside rectLayout, one line per line of the text and
    // long lines wrapped (at a space when there is one), tabs every eight average characters. Sets
    // rectLayout.bottom under the last line drawn and returns the index of the first character that did
    // not fit (nIndexStop when all did).
    UINT PrintInsideRect(CDC* pDC, CRect& rectLayout, UINT nIndexStart, UINT nIndexStop);

    BOOL PreCreateWindow(CREATESTRUCT& cs) override;
    int OnCreate(LPCREATESTRUCT lpCreateStruct) override;

    // The last search, for repeat find: as bytes, and as typed.
    CString m_strFind;
    QString m_strFindShown;
    BOOL m_bCase = TRUE;
    BOOL m_bNext = TRUE;

protected:
    QWidget* CreateViewWidget(QWidget* parent) override;
    const CDisplayText& DisplayText() const { return *m_display; }

private:
    void ApplyFont(HFONT hFont);
    // Lays out the pages before the current one, drawing nothing.
    void PaginateTo(CDC* pDC, CPrintInfo* pInfo);
    // PrintInsideRect of a hex view: the dump rows of the bytes from nIndexStart up to nIndexStop.
    UINT PrintDumpInsideRect(CDC* pDC, CRect& rectLayout, UINT nIndexStart, UINT nIndexStop);
    // Finds the bytes a hex view's search stands for: the text, or the bytes it spells in hexadecimal,
    // whichever comes first. Returns the position and sets length, or -1.
    long long FindInDump(const CString& what, std::size_t from, bool forward, bool caseSensitive,
                         std::size_t& length) const;

    CTextView* m_edit = nullptr;
    CHexView* m_hex = nullptr;
    BOOL m_bHexView = FALSE;
    std::unique_ptr<CDisplayText> m_display;
    HFONT m_hFont = 0;
    // Where each page of the current print run starts.
    std::vector<UINT> m_aPageStart;
    // The view's font for the printer of the current run.
    std::unique_ptr<QFont> m_printerFont;
};
