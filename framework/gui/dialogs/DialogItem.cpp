#include "framework/gui/dialogs/DialogItem.h"

#include "framework/gui/text/DisplayText.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>

#include <cctype>

// ASCII stays as it is; the upper half of the byte range shows as the Windows code page does, the same
// way the terminal view shows received bytes. A typed character that no byte stands for becomes '?'.
QString ToWidgetText(const CString& text) {
    QString shown;
    shown.reserve(static_cast<qsizetype>(text.size()));
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        shown.append(byte < 0x80 ? QChar(byte) : QChar(CDisplayText::CharForByte(byte)));
    }
    return shown;
}

CString FromWidgetText(const QString& text) {
    CString bytes;
    bytes.reserve(static_cast<size_t>(text.size()));
    for (QChar ch : text) {
        if (ch.unicode() < 0x80) {
            bytes += static_cast<char>(ch.unicode());
        } else {
            const int byte = CDisplayText::ByteForChar(ch.unicode());
            bytes += byte >= 0x80 ? static_cast<char>(byte) : '?';
        }
    }
    return bytes;
}

BOOL CDialogItem::EnableWindow(BOOL bEnable) {
    QWidget* widget = GetWidget();
    if (widget == nullptr)
        return FALSE;
    // The platform answers whether the window was disabled before the call.
    const BOOL wasDisabled = widget->isEnabled() ? FALSE : TRUE;
    widget->setEnabled(bEnable != FALSE);
    return wasDisabled;
}

BOOL CDialogItem::IsWindowEnabled() const {
    QWidget* widget = GetWidget();
    return widget != nullptr && widget->isEnabled() ? TRUE : FALSE;
}

void CDialogItem::SetFocus() {
    if (QWidget* widget = GetWidget())
        widget->setFocus(Qt::OtherFocusReason);
}

CStatic::CStatic(int nID, QWidget* widget) : CDialogItem(nID, widget) {}

void CStatic::SetWindowText(const CString& text) {
    if (auto* label = qobject_cast<QLabel*>(GetWidget()))
        label->setText(ToWidgetText(text));
    else if (auto* group = qobject_cast<QGroupBox*>(GetWidget()))
        group->setTitle(ToWidgetText(text));
}

void CStatic::GetWindowText(CString& text) const {
    text.clear();
    if (auto* label = qobject_cast<QLabel*>(GetWidget()))
        text = FromWidgetText(label->text());
    else if (auto* group = qobject_cast<QGroupBox*>(GetWidget()))
        text = FromWidgetText(group->title());
}

CEdit::CEdit(int nID, QLineEdit* edit) : CDialogItem(nID, edit) {}

QLineEdit* CEdit::edit() const {
    return qobject_cast<QLineEdit*>(GetWidget());
}

void CEdit::SetWindowText(const CString& text) {
    // Text set by the program is taken whole, as the platform's edit boxes take it; only typing is limited
    // to the width of the box.
    if (QLineEdit* e = edit()) {
        e->setText(ToWidgetText(text));
        e->setCursorPosition(0);
    }
}

void CEdit::GetWindowText(CString& text) const {
    QLineEdit* e = edit();
    text = e != nullptr ? FromWidgetText(e->text()) : CString();
}

void CEdit::SetSel(int nStart, int nEnd) {
    QLineEdit* e = edit();
    if (e == nullptr)
        return;
    const int length = static_cast<int>(e->text().size());
    if (nEnd < 0 || nEnd > length)
        nEnd = length;
    if (nStart < 0)
        nStart = 0;
    if (nStart > nEnd)
        nStart = nEnd;
    e->setSelection(nStart, nEnd - nStart);
}

CString CEdit::GetSelText() const {
    QLineEdit* e = edit();
    return e != nullptr ? FromWidgetText(e->selectedText()) : CString();
}

CButton::CButton(int nID, QAbstractButton* button) : CDialogItem(nID, button) {}

QAbstractButton* CButton::button() const {
    return qobject_cast<QAbstractButton*>(GetWidget());
}

void CButton::SetWindowText(const CString& text) {
    if (QAbstractButton* b = button())
        b->setText(ToWidgetText(text));
}

void CButton::GetWindowText(CString& text) const {
    QAbstractButton* b = button();
    text = b != nullptr ? FromWidgetText(b->text()) : CString();
}

int CButton::GetCheck() const {
    if (auto* box = qobject_cast<QCheckBox*>(GetWidget())) {
        switch (box->checkState()) {
        case Qt::Checked:
            return BST_CHECKED;
        case Qt::PartiallyChecked:
            return BST_INDETERMINATE;
        default:
            return BST_UNCHECKED;
        }
    }
    return BST_UNCHECKED;
}

void CButton::SetCheck(int nCheck) {
    auto* box = qobject_cast<QCheckBox*>(GetWidget());
    if (box == nullptr)
        return;
    if (nCheck == BST_INDETERMINATE) {
        box->setTristate(true);
        box->setCheckState(Qt::PartiallyChecked);
    } else {
        // A check box that toggles itself knows two states; any other value reads as checked, as the
        // platform's button treats it.
        box->setTristate(false);
        box->setCheckState(nCheck != BST_UNCHECKED ? Qt::Checked : Qt::Unchecked);
    }
}

void CButton::Click() {
    if (QAbstractButton* b = button())
        b->click();
}

CComboBox::CComboBox(int nID, QComboBox* combo) : CDialogItem(nID, combo) {}

QComboBox* CComboBox::combo() const {
    return qobject_cast<QComboBox*>(GetWidget());
}

void CComboBox::SetWindowText(const CString& text) {
    QComboBox* c = combo();
    if (c != nullptr && c->isEditable()) {
        const int index = c->findText(ToWidgetText(text), Qt::MatchFixedString);
        c->setCurrentIndex(index);
        if (index < 0)
            c->setEditText(ToWidgetText(text));
        return;
    }
    if (SelectString(-1, text) == CB_ERR)
        SetCurSel(-1);
}

void CComboBox::GetWindowText(CString& text) const {
    QComboBox* c = combo();
    if (c != nullptr && c->isEditable()) {
        text = FromWidgetText(c->currentText());
        return;
    }
    text.clear();
    const int selected = GetCurSel();
    if (selected != CB_ERR)
        GetLBText(selected, text);
}

int CComboBox::AddString(const CString& text) {
    QComboBox* c = combo();
    if (c == nullptr)
        return CB_ERR;
    // Adding to a list must not select anything: only the program or the user chooses an entry.
    const int selected = c->currentIndex();
    c->addItem(ToWidgetText(text));
    c->setCurrentIndex(selected);
    return c->count() - 1;
}

int CComboBox::GetCount() const {
    QComboBox* c = combo();
    return c != nullptr ? c->count() : 0;
}

int CComboBox::GetCurSel() const {
    QComboBox* c = combo();
    if (c == nullptr || c->currentIndex() < 0)
        return CB_ERR;
    return c->currentIndex();
}

int CComboBox::SetCurSel(int nSelect) {
    QComboBox* c = combo();
    if (c == nullptr)
        return CB_ERR;
    if (nSelect < 0 || nSelect >= c->count()) {
        c->setCurrentIndex(-1);
        return CB_ERR;
    }
    c->setCurrentIndex(nSelect);
    return nSelect;
}

void CComboBox::GetLBText(int nIndex, CString& text) const {
    QComboBox* c = combo();
    text = (c != nullptr && nIndex >= 0 && nIndex < c->count()) ? FromWidgetText(c->itemText(nIndex))
                                                                : CString();
}

namespace {
bool BeginsWithIgnoringCase(const CString& entry, const CString& prefix) {
    if (prefix.size() > entry.size())
        return false;
    for (size_t i = 0; i < prefix.size(); ++i) {
        const auto a = static_cast<unsigned char>(entry[i]);
        const auto b = static_cast<unsigned char>(prefix[i]);
        if (std::tolower(a) != std::tolower(b))
            return false;
    }
    return true;
}
} // namespace

int CComboBox::FindString(int nStartAfter, const CString& text) const {
    const int count = GetCount();
    if (text.empty() || count == 0)
        return CB_ERR;
    const int first = (nStartAfter < 0 || nStartAfter >= count) ? 0 : nStartAfter + 1;
    for (int step = 0; step < count; ++step) {
        const int index = (first + step) % count;
        CString entry;
        GetLBText(index, entry);
        if (BeginsWithIgnoringCase(entry, text))
            return index;
    }
    return CB_ERR;
}

int CComboBox::SelectString(int nStartAfter, const CString& text) {
    const int found = FindString(nStartAfter, text);
    if (found != CB_ERR)
        SetCurSel(found);
    return found;
}
