#pragma once

#include "framework/core/MessageBox.h"
#include "framework/gui/dialogs/DialogData.h"
#include "framework/gui/dialogs/DialogItem.h"
#include "framework/gui/dialogs/DialogTemplate.h"
#include "framework/gui/windows/Wnd.h"

#include <map>
#include <memory>

class QDialog;
class QFont;
class QRect;

using INT_PTR = std::intptr_t;

// The size of a dialog unit for a font: a quarter of the average character width horizontally, an eighth
// of the character height vertically.
struct DialogBaseUnits {
    int cx;
    int cy;
};
DialogBaseUnits GetDialogBaseUnits(const QFont& font);
// Converts a rectangle in dialog units to pixels, rounding as the platform does.
QRect MapDialogRect(const DialogBaseUnits& units, int x, int y, int cx, int cy);
// The font a template names. Fonts the system lacks are replaced by its sans-serif font at the same size.
QFont DialogTemplateFont(const DialogTemplate& dialogTemplate);

// A modal dialog built from a template. The C++ object lives longer than its window: the window exists
// only while DoModal runs, and the fields the data exchange filled stay readable afterwards.
//
// Buttons send their id as a command to the dialog (see CCmdTarget): OK (IDOK) runs OnOK, Cancel
// (IDCANCEL, also Escape and the close box) runs OnCancel, and derived classes register handlers for the
// clicks of their own buttons and check boxes with AddCommandHandler.
class CDialog : public CWnd {
public:
    CDialog(UINT nIDTemplate, const DialogTemplate& dialogTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the window, runs OnInitDialog and waits until the dialog ends; returns IDOK or IDCANCEL
    // (-1 when the window could not be made). Modal dialogs go through AfxRunModalDialog, so an installed
    // test hook answers instead of a user: a hook that returns IDOK without having ended the dialog
    // presses OK (validation included; a dialog that refuses to close then counts as cancelled), any other
    // answer presses Cancel.
    virtual INT_PTR DoModal();

    // Runs the data exchange in one direction. FALSE when a validation failed (the user has been told and
    // the focus is on the control concerned).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    // Ends the modal loop with a result.
    void EndDialog(int nResult);

    // The control with an id while the window exists, otherwise null.
    CDialogItem* GetDlgItem(int nID) const;
    template <class Item> Item* GetDlgItemAs(int nID) const { return dynamic_cast<Item*>(GetDlgItem(nID)); }
    // The id of the control that holds (or last received) the focus inside the dialog, 0 when none.
    int GetFocusedItemId() const;

    UINT GetTemplateId() const { return m_nIDHelp; }
    const DialogTemplate& GetTemplate() const { return m_template; }
    // The window while DoModal runs, otherwise null.
    QDialog* GetDialogWindow() const;
    // The dialog object behind a window that DoModal shows, or null.
    static CDialog* FromDialogWindow(const QDialog* window);

    // The standard buttons' actions, also reachable as the commands IDOK and IDCANCEL.
    virtual void OnOK();
    virtual void OnCancel();

protected:
    // Called once the controls exist, before the dialog is shown; the base loads the fields into the
    // controls. The result says whether the framework should place the focus (TRUE) or the dialog did.
    virtual BOOL OnInitDialog();
    virtual void DoDataExchange(CDataExchange* pDX);

private:
    BOOL CreateDialogWindow();
    void DestroyDialogWindow();
    void AddItem(const DialogControl& control, QWidget* widget);
    void OnControlCommand(int nID);

    UINT m_nIDHelp;
    const DialogTemplate& m_template;
    CWnd* m_pParentWnd;
    struct Window;
    std::unique_ptr<Window> m_window;
    std::map<int, std::unique_ptr<CDialogItem>> m_items;
    int m_nModalResult = -1;
    bool m_bEnded = false;
};
