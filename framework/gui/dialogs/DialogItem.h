#pragma once

#include "framework/core/WinTypes.h"

#include <QPointer>
#include <QWidget>

class QComboBox;
class QAbstractButton;
class QLineEdit;
class QLabel;

// Results of the list operations, with the platform's values.
constexpr int CB_ERR = -1;

// Check states.
constexpr int BST_UNCHECKED = 0;
constexpr int BST_CHECKED = 1;
constexpr int BST_INDETERMINATE = 2;

// Conversions at the widget boundary: text in the classes is bytes, shown one character per byte.
QString ToWidgetText(const CString& text);
CString FromWidgetText(const QString& text);

// A control of a live dialog, addressed by its id. It refers to the widget the dialog owns; once the
// dialog's window is gone the item reports itself empty instead of touching freed memory.
class CDialogItem {
public:
    CDialogItem(int nID, QWidget* widget) : m_nID(nID), m_widget(widget) {}
    virtual ~CDialogItem() = default;
    CDialogItem(const CDialogItem&) = delete;
    CDialogItem& operator=(const CDialogItem&) = delete;

    int GetDlgCtrlID() const { return m_nID; }
    QWidget* GetWidget() const { return m_widget.data(); }

    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    void SetFocus();

    virtual void SetWindowText(const CString& text) = 0;
    virtual void GetWindowText(CString& text) const = 0;

private:
    int m_nID;
    QPointer<QWidget> m_widget;
};

// Static text and group boxes.
class CStatic : public CDialogItem {
public:
    // The widget is a label or a group box.
    CStatic(int nID, QWidget* widget);
    void SetWindowText(const CString& text) override;
    void GetWindowText(CString& text) const override;
};

// A single-line edit box.
class CEdit : public CDialogItem {
public:
    CEdit(int nID, QLineEdit* edit);
    void SetWindowText(const CString& text) override;
    void GetWindowText(CString& text) const override;
    // Selects characters nStart up to nEnd; an end of -1 means the end of the text.
    void SetSel(int nStart, int nEnd);
    // The text the user has selected.
    CString GetSelText() const;

private:
    QLineEdit* edit() const;
};

// Push buttons and check boxes.
class CButton : public CDialogItem {
public:
    CButton(int nID, QAbstractButton* button);
    void SetWindowText(const CString& text) override;
    void GetWindowText(CString& text) const override;
    int GetCheck() const;
    void SetCheck(int nCheck);
    // Acts as a user's click: a check box toggles, and the dialog receives the button's command.
    void Click();

private:
    QAbstractButton* button() const;
};

// A drop-down list without an edit field. Entries stay in the order they are added.
class CComboBox : public CDialogItem {
public:
    CComboBox(int nID, QComboBox* combo);
    // The window text of a drop-down list is its selected entry (empty without selection); setting it
    // selects the entry that the text begins, like SelectString. With an edit field the window text is
    // the field's text, and setting it selects the entry of exactly that text (any letter case) when
    // there is one, else leaves the text in the field with no entry selected.
    void SetWindowText(const CString& text) override;
    void GetWindowText(CString& text) const override;

    int AddString(const CString& text);
    int GetCount() const;
    int GetCurSel() const;
    // Selects entry nSelect, or clears the selection with -1. CB_ERR when nSelect is out of range.
    int SetCurSel(int nSelect);
    void GetLBText(int nIndex, CString& text) const;
    // Selects the first entry after nStartAfter (-1: from the top, wrapping round) that begins with the
    // text, ignoring case, and returns its index. An empty text begins no entry. When nothing matches the
    // selection is left as it was and CB_ERR comes back.
    int SelectString(int nStartAfter, const CString& text);
    // The same search without selecting.
    int FindString(int nStartAfter, const CString& text) const;

private:
    QComboBox* combo() const;
};
