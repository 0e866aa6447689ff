#include "framework/gui/textview/EditView.h"

#include "framework/core/CmdUI.h"
#include "framework/core/MessageBox.h"
#include "framework/core/Resource.h"
#include "framework/files/File.h"
#include "framework/gui/dialogs/FindDialog.h"
#include "framework/gui/docview/Archive.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/drawing/Font.h"
#include "framework/gui/text/DisplayText.h"
#include "framework/gui/text/HexByteString.h"
#include "framework/gui/text/HexDump.h"
#include "framework/gui/textview/HexView.h"
#include "framework/gui/textview/TextView.h"

#include <QApplication>
#include <QClipboard>
#include <QScrollBar>
#include <QStackedLayout>

#include <algorithm>
#include <climits>
#include <string_view>
#include <vector>

namespace {

// The bytes that show as the characters of a text, one each; '?' for a character no byte shows as.
CString BytesShowing(const QString& text) {
    CString bytes;
    for (QChar ch : text) {
        const int byte = CDisplayText::ByteForChar(ch.unicode());
        bytes.push_back(static_cast<char>(byte >= 0 ? byte : '?'));
    }
    return bytes;
}

} // namespace

CEditView::CEditView() : m_display(std::make_unique<CDisplayText>()) {
    AddCommandHandler(ID_EDIT_COPY, [this]() { OnEditCopy(); });
    AddCommandHandler(ID_EDIT_FIND, [this]() { OnEditFind(); });
    AddCommandHandler(ID_EDIT_REPEAT, [this]() { OnEditRepeat(); });
    AddCommandHandler(ID_EDIT_SELECT_ALL, [this]() { OnEditSelectAll(); });
    AddUpdateHandler(ID_EDIT_COPY, [this](CCmdUI* ui) {
        int start = 0;
        int end = 0;
        GetSel(start, end);
        ui->Enable(start != end);
    });
    AddUpdateHandler(ID_EDIT_FIND, [this](CCmdUI* ui) { ui->Enable(GetWindowTextLength() != 0); });
    AddUpdateHandler(ID_EDIT_REPEAT, [this](CCmdUI* ui) { ui->Enable(!m_strFind.empty()); });
    AddUpdateHandler(ID_EDIT_SELECT_ALL, [this](CCmdUI* ui) { ui->Enable(GetWindowTextLength() != 0); });
    AddMessageHandler(WM_SETFONT, [this](WPARAM wParam, LPARAM) {
        ApplyFont(static_cast<HFONT>(wParam));
        return LRESULT{0};
    });
    AddMessageHandler(WM_GETFONT, [this](WPARAM, LPARAM) { return static_cast<LRESULT>(m_hFont); });
}

CEditView::~CEditView() = default;

BOOL CEditView::PreCreateWindow(CREATESTRUCT& cs) {
    return CView::PreCreateWindow(cs);
}

int CEditView::OnCreate(LPCREATESTRUCT lpCreateStruct) {
    if (CView::OnCreate(lpCreateStruct) == -1 || m_edit == nullptr)
        return -1;
    return 0;
}

QWidget* CEditView::CreateViewWidget(QWidget* parent) {
    // The text and its hex dump are two widgets on the same bytes, one shown at a time.
    auto* pages = new QWidget(parent);
    auto* layout = new QStackedLayout(pages);
    layout->setContentsMargins(0, 0, 0, 0);
    m_edit = new CTextView(pages, *m_display);
    m_hex = new CHexView(pages, *m_display);
    layout->addWidget(m_edit);
    layout->addWidget(m_hex);
    pages->setFocusProxy(m_edit);
    return pages;
}

void CEditView::SetHexView(BOOL bHex) {
    bHex = bHex != FALSE;
    if (m_edit == nullptr || bHex == m_bHexView)
        return;
    const bool following = IsFollowingEnd() != FALSE;
    int start = 0;
    int end = 0;
    GetSel(start, end);
    // The first byte in sight, so that a view that holds still shows the same place the other way.
    const CLineIndex& lines = m_display->Lines();
    const std::size_t firstInSight =
        m_bHexView ? m_hex->Dump().RowBegin(m_hex->FirstVisibleRow())
                   : lines.LineStart(std::min(m_edit->FirstVisibleLine(), lines.LineCount() - 1)) -
                         m_display->Base();
    const bool focused =
        GetWidget()->focusWidget() != nullptr && GetWidget()->isAncestorOf(GetWidget()->focusWidget());
    m_bHexView = bHex;
    QAbstractScrollArea* shown = m_bHexView ? static_cast<QAbstractScrollArea*>(m_hex) : m_edit;
    static_cast<QStackedLayout*>(GetWidget()->layout())->setCurrentWidget(shown);
    GetWidget()->setFocusProxy(shown);
    if (focused)
        shown->setFocus();
    SetSel(start, end, TRUE);
    if (!following) {
        const std::size_t top =
            m_bHexView ? m_hex->Dump().RowOf(firstInSight) : lines.LineOf(m_display->Base() + firstInSight);
        shown->verticalScrollBar()->setValue(static_cast<int>(std::min<std::size_t>(top, INT_MAX)));
    }
    if (m_bHexView)
        m_hex->SetFollowing(following);
    else
        m_edit->SetFollowing(following);
}

CString CEditView::GetShownText() const {
    if (m_bHexView && m_hex != nullptr)
        return m_hex->Dump().Lines(0, m_display->Size());
    if (m_edit == nullptr)
        return m_display->ShownText(0, m_display->Size()).toStdString();
    // One line per display line, as the view paints them.
    QString shown;
    const std::size_t lines = m_display->Lines().LineCount();
    for (std::size_t line = 0; line < lines; ++line) {
        if (line > 0)
            shown += QLatin1Char('\n');
        shown += m_edit->LineText(line);
    }
    return shown.toStdString();
}

void CEditView::SetWindowText(const CString& text) {
    std::size_t drop = 0;
    std::size_t appendFrom = 0;
    if (m_display->DiffTo(text, drop, appendFrom)) {
        m_display->DropFront(drop);
        if (appendFrom < text.size())
            m_display->Add(text.data() + appendFrom, text.size() - appendFrom);
        if (m_edit != nullptr)
            m_edit->TextChanged(drop);
    } else {
        m_display->Assign(text);
        if (m_edit != nullptr)
            m_edit->TextReplaced();
    }
    // A text set whole starts the dump's offsets again at its first byte.
    if (m_hex != nullptr) {
        m_hex->TextReplaced();
        m_hex->SetFirstOffset(0);
    }
}

void CEditView::UpdateText(std::size_t dropFront, const CString& appended) {
    dropFront = std::min(dropFront, m_display->Size());
    m_display->DropFront(dropFront);
    m_display->Add(appended.data(), appended.size());
    if (m_edit != nullptr)
        m_edit->TextChanged(dropFront);
    if (m_hex != nullptr)
        m_hex->TextChanged(dropFront);
}

void CEditView::GetWindowText(CString& text) const {
    text.assign(m_display->Bytes());
}

int CEditView::GetWindowTextLength() const {
    return static_cast<int>(m_display->Size());
}

CString CEditView::GetTextRange(int nStart, int nEnd) const {
    const std::string_view bytes = m_display->Bytes();
    const std::size_t start = static_cast<std::size_t>(std::clamp(nStart, 0, static_cast<int>(bytes.size())));
    const std::size_t end = static_cast<std::size_t>(std::clamp(nEnd, 0, static_cast<int>(bytes.size())));
    return start < end ? CString(bytes.substr(start, end - start)) : CString();
}

void CEditView::GetSel(int& nStartChar, int& nEndChar) const {
    std::size_t start = 0;
    std::size_t end = 0;
    if (m_bHexView)
        m_hex->SelectionRange(start, end);
    else if (m_edit != nullptr)
        m_edit->SelectionRange(start, end);
    nStartChar = static_cast<int>(start);
    nEndChar = static_cast<int>(end);
}

void CEditView::SetSel(int nStartChar, int nEndChar, BOOL bNoScroll) {
    if (m_edit == nullptr)
        return;
    const int length = GetWindowTextLength();
    // As the platform's control takes it: an end of -1 is the end of the text, a start of -1 removes the
    // selection and keeps the caret.
    if (nStartChar < 0) {
        const std::size_t caret = m_bHexView ? m_hex->Caret() : m_edit->Caret();
        nStartChar = nEndChar = static_cast<int>(caret);
    }
    if (nEndChar < 0 || nEndChar > length)
        nEndChar = length;
    nStartChar = std::min(nStartChar, length);
    const auto anchor = static_cast<std::size_t>(nStartChar);
    const auto caret = static_cast<std::size_t>(nEndChar);
    if (m_bHexView)
        m_hex->SetSelection(anchor, caret);
    else
        m_edit->SetSelection(anchor, caret);
    if (!bNoScroll)
        ScrollCaret();
}

CString CEditView::GetSelectedText() const {
    int start = 0;
    int end = 0;
    GetSel(start, end);
    return GetTextRange(start, end);
}

void CEditView::ScrollCaret() {
    if (m_bHexView)
        m_hex->EnsureCaretVisible();
    else if (m_edit != nullptr)
        m_edit->EnsureCaretVisible();
}

BOOL CEditView::IsFollowingEnd() const {
    if (m_bHexView)
        return m_hex->IsFollowing();
    return m_edit == nullptr || m_edit->IsFollowing();
}

void CEditView::SetReadOnly(BOOL bReadOnly) {
    if (m_edit != nullptr) {
        m_edit->SetReadOnly(bReadOnly != FALSE);
        m_hex->SetReadOnly(bReadOnly != FALSE);
    }
}

BOOL CEditView::IsReadOnly() const {
    return m_edit != nullptr && m_edit->IsReadOnly();
}

void CEditView::ApplyFont(HFONT hFont) {
    if (m_edit == nullptr)
        return;
    CFont* font = hFont != 0 ? CFont::FromHandle(hFont) : nullptr;
    if (hFont != 0 && (font == nullptr || font->GetQFont() == nullptr))
        return; // a font deleted before its message arrived
    m_hFont = hFont;
    m_edit->setFont(font != nullptr ? *font->GetQFont() : QFont());
    m_hex->setFont(m_edit->font());
}

void CEditView::SetReading(CharacterSet characters, EscapeSequences escapes) {
    m_display->SetReading(characters, escapes);
    if (m_edit != nullptr)
        m_edit->ReadingChanged();
}

CharacterSet CEditView::GetCharacterSet() const {
    return m_display->Reading().Characters();
}

EscapeSequences CEditView::GetEscapeSequences() const {
    return m_display->Reading().Escapes();
}

BOOL CEditView::FindShownText(const QString& what, BOOL bNext, BOOL bCase) {
    if (what.isEmpty() || m_edit == nullptr)
        return FALSE;
    int start = 0;
    int end = 0;
    GetSel(start, end);
    const std::size_t size = m_display->Size();
    const bool caseSensitive = bCase != FALSE;
    long long found = -1;
    std::size_t matchEnd = 0;
    if (bNext) {
        const std::size_t from =
            m_display->CharacterStart(static_cast<std::size_t>(start != end ? start + 1 : start));
        found = m_display->FindShown(what, std::min(from, size), true, caseSensitive, matchEnd);
        if (found < 0)
            found = m_display->FindShown(what, 0, true, caseSensitive, matchEnd);
    } else {
        const std::size_t before = static_cast<std::size_t>(start != end ? end - 1 : end);
        found = m_display->FindShown(what, before, false, caseSensitive, matchEnd);
        if (found < 0)
            found = m_display->FindShown(what, size, false, caseSensitive, matchEnd);
    }
    if (found < 0)
        return FALSE;
    SetSel(static_cast<int>(found), static_cast<int>(matchEnd));
    return TRUE;
}

BOOL CEditView::FindText(const CString& what, BOOL bNext, BOOL bCase) {
    if (what.empty() || m_edit == nullptr)
        return FALSE;
    if (!m_display->Reading().ShowsEveryByte()) {
        QString shown;
        for (unsigned char byte : what)
            shown.append(QChar(CDisplayText::CharForByte(byte)));
        return FindShownText(shown, bNext, bCase);
    }
    int start = 0;
    int end = 0;
    GetSel(start, end);
    const std::size_t size = m_display->Size();
    const bool caseSensitive = bCase != FALSE;
    std::size_t length = what.size();
    auto find = [&](std::size_t from, bool forward) {
        if (m_bHexView)
            return FindInDump(what, from, forward, caseSensitive, length);
        return m_display->Find(what, from, forward, caseSensitive);
    };
    long long found = -1;
    if (bNext) {
        // From just after the start of the selection, so a repeated search moves on from its last match.
        const std::size_t from = static_cast<std::size_t>(start != end ? start + 1 : start);
        found = find(std::min(from, size), true);
        if (found < 0)
            found = find(0, true);
    } else {
        const std::size_t before = static_cast<std::size_t>(start != end ? end - 1 : end);
        found = find(before, false);
        if (found < 0)
            found = find(size, false);
    }
    if (found < 0)
        return FALSE;
    SetSel(static_cast<int>(found), static_cast<int>(found + static_cast<long long>(length)));
    return TRUE;
}

long long CEditView::FindInDump(const CString& what, std::size_t from, bool forward, bool caseSensitive,
                                std::size_t& length) const {
    const long long asText = m_display->Find(what, from, forward, caseSensitive);
    CString bytes;
    const long long asBytes =
        ParseHexByteString(what, bytes) ? m_display->Find(bytes, from, forward, true) : -1;
    // The nearer of the two in the direction of the search; at the same place, the longer.
    const bool takeBytes = asBytes >= 0 && (asText < 0 || (forward ? asBytes < asText : asBytes > asText) ||
                                            (asBytes == asText && bytes.size() > what.size()));
    length = takeBytes ? bytes.size() : what.size();
    return takeBytes ? asBytes : asText;
}

void CEditView::OnEditCopy() {
    int start = 0;
    int end = 0;
    GetSel(start, end);
    if (start == end)
        return;
    if (m_bHexView) {
        m_hex->CopySelection();
        return;
    }
    QApplication::clipboard()->setText(
        m_display->ShownText(static_cast<std::size_t>(start), static_cast<std::size_t>(end)));
}

void CEditView::OnEditFind() {
    QString text = m_strFindShown;
    BOOL bCase = m_bCase;
    BOOL bNext = m_bNext;
    if (!AfxRunFindDialog(text, bCase, bNext))
        return;
    m_strFindShown = text;
    m_strFind = BytesShowing(text);
    m_bCase = bCase;
    m_bNext = bNext;
    OnEditRepeat();
}

void CEditView::OnEditRepeat() {
    if (m_strFind.empty()) {
        OnEditFind();
        return;
    }
    // Typed characters are matched as shown (a character no byte shows as is then simply not found);
    // bytes a caller set instead, as bytes.
    const bool typed = !m_strFindShown.isEmpty() && m_strFind == BytesShowing(m_strFindShown);
    if (!(typed ? FindShownText(m_strFindShown, m_bNext, m_bCase) : FindText(m_strFind, m_bNext, m_bCase)))
        QApplication::beep();
}

void CEditView::OnEditSelectAll() {
    SetSel(0, -1, TRUE);
}

void CEditView::SerializeRaw(CArchive& ar) {
    if (ar.IsStoring()) {
        const std::string_view bytes = m_display->Bytes();
        ar.Write(bytes.data(), static_cast<UINT>(bytes.size()));
        return;
    }
    const auto length = ar.GetFile()->GetLength();
    if (length > LargestLoadableText()) {
        const char* text = AfxLoadString(AFX_IDP_FILE_TOO_LARGE);
        AfxMessageBox(text != nullptr ? text : "The file is too large to open.", MB_OK | MB_ICONEXCLAMATION);
        AfxThrowUserException();
    }
    CString bytes(static_cast<std::size_t>(length), '\0');
    const UINT got = ar.Read(bytes.data(), static_cast<UINT>(length));
    if (got != length)
        throw CArchiveException(CArchiveException::endOfFile);
    SetWindowText(bytes);
}
