#include "framework/gui/dialogs/Dialog.h"

#include "framework/gui/windows/TestHook.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionFrame>
#include <QValidator>

#include <algorithm>

namespace {

const char* const kDialogProperty = "frameworkDialogObject";
const char* const kControlIdProperty = "dialogControlId";

// Rounds a * b / c to the nearest integer, as the platform's MulDiv does for the positive values of a
// dialog layout.
int MulDiv(int a, int b, int c) {
    const long long product = static_cast<long long>(a) * b;
    return static_cast<int>(product >= 0 ? (product + c / 2) / c : (product - c / 2) / c);
}

// A single-line edit box without horizontal scrolling: typing stops when the text would no longer fit the
// box, as it does in the platform's edit boxes that lack automatic scrolling. Text set by the program is
// taken whole.
class WidthLimitedLineEdit : public QLineEdit {
public:
    explicit WidthLimitedLineEdit(QWidget* parent) : QLineEdit(parent) {
        // The validator sees the edit's text already changed, so the text before the edit is kept here.
        QObject::connect(this, &QLineEdit::textChanged, this,
                         [this](const QString& text) { m_accepted = text; });
    }

    const QString& AcceptedText() const { return m_accepted; }

    int TextAreaWidth() const {
        QStyleOptionFrame option;
        initStyleOption(&option);
        QRect area = style()->subElementRect(QStyle::SE_LineEditContents, &option, this);
        area = area.marginsRemoved(textMargins());
        // Qt keeps a margin of two pixels on each side of the text and needs one for the caret.
        return area.width() - 2 * 2 - 1;
    }

private:
    QString m_accepted;
};

class WidthLimitValidator : public QValidator {
public:
    explicit WidthLimitValidator(WidthLimitedLineEdit* edit) : QValidator(edit), m_edit(edit) {}

    State validate(QString& input, int&) const override {
        const QFontMetrics metrics(m_edit->font());
        const int width = metrics.horizontalAdvance(input);
        // Shortening is always allowed, also when the program filled the box with more than it shows.
        if (width <= m_edit->TextAreaWidth() || width <= metrics.horizontalAdvance(m_edit->AcceptedText()))
            return Acceptable;
        return Invalid;
    }

private:
    WidthLimitedLineEdit* m_edit;
};

} // namespace

// The dialog's window. Escape, the close box and Enter on a default button all come back to the dialog
// object as commands, so a derived dialog decides what they do.
class DialogWindowWidget : public QDialog {
public:
    DialogWindowWidget(CDialog* owner, QWidget* parent)
        : QDialog(parent,
                  Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
          m_owner(owner) {}

    void reject() override { m_owner->OnCmdMsg(IDCANCEL, CN_COMMAND, nullptr, FALSE); }
    void accept() override { m_owner->OnCmdMsg(IDOK, CN_COMMAND, nullptr, FALSE); }
    void Finish(int result) { QDialog::done(result); }

private:
    CDialog* m_owner;
};

struct CDialog::Window {
    std::unique_ptr<DialogWindowWidget> widget;
};

DialogBaseUnits GetDialogBaseUnits(const QFont& font) {
    const QFontMetrics metrics(font);
    const int extent =
        metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
    return DialogBaseUnits{(extent / 26 + 1) / 2, metrics.height()};
}

QRect MapDialogRect(const DialogBaseUnits& units, int x, int y, int cx, int cy) {
    const int left = MulDiv(x, units.cx, 4);
    const int top = MulDiv(y, units.cy, 8);
    const int right = MulDiv(x + cx, units.cx, 4);
    const int bottom = MulDiv(y + cy, units.cy, 8);
    return QRect(left, top, right - left, bottom - top);
}

QFont DialogTemplateFont(const DialogTemplate& dialogTemplate) {
    QFont font;
    font.setFamilies({QString::fromLatin1(dialogTemplate.fontName), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPointSize(dialogTemplate.pointSize);
    return font;
}

CDialog::CDialog(UINT nIDTemplate, const DialogTemplate& dialogTemplate, CWnd* pParentWnd)
    : m_nIDHelp(nIDTemplate), m_template(dialogTemplate), m_pParentWnd(pParentWnd) {
    AddCommandHandler(IDOK, [this] { OnOK(); });
    AddCommandHandler(IDCANCEL, [this] { OnCancel(); });
}

CDialog::~CDialog() {
    DestroyDialogWindow();
}

QDialog* CDialog::GetDialogWindow() const {
    return m_window ? m_window->widget.get() : nullptr;
}

CDialog* CDialog::FromDialogWindow(const QDialog* window) {
    if (window == nullptr)
        return nullptr;
    const QVariant owner = window->property(kDialogProperty);
    return owner.isValid() ? reinterpret_cast<CDialog*>(owner.value<quintptr>()) : nullptr;
}

CDialogItem* CDialog::GetDlgItem(int nID) const {
    auto found = m_items.find(nID);
    return found != m_items.end() ? found->second.get() : nullptr;
}

int CDialog::GetFocusedItemId() const {
    QDialog* window = GetDialogWindow();
    if (window == nullptr)
        return 0;
    for (QWidget* focused = window->focusWidget(); focused != nullptr && focused != window;
         focused = focused->parentWidget()) {
        const QVariant id = focused->property(kControlIdProperty);
        if (id.isValid())
            return id.toInt();
    }
    return 0;
}

void CDialog::AddItem(const DialogControl& control, QWidget* widget) {
    widget->setProperty(kControlIdProperty, control.id);
    if (control.id == IDC_STATIC)
        return; // labels and frames without an id are never addressed
    std::unique_ptr<CDialogItem> item;
    switch (control.kind) {
    case DialogControlKind::GroupBox:
    case DialogControlKind::Label:
        item = std::make_unique<CStatic>(control.id, widget);
        break;
    case DialogControlKind::Edit:
        item = std::make_unique<CEdit>(control.id, static_cast<QLineEdit*>(widget));
        break;
    case DialogControlKind::CheckBox:
    case DialogControlKind::PushButton:
        item = std::make_unique<CButton>(control.id, static_cast<QAbstractButton*>(widget));
        break;
    case DialogControlKind::DropList:
    case DialogControlKind::DropDown:
        item = std::make_unique<CComboBox>(control.id, static_cast<QComboBox*>(widget));
        break;
    }
    m_items[control.id] = std::move(item);
}

BOOL CDialog::CreateDialogWindow() {
    DestroyDialogWindow();
    QWidget* parentWidget = m_pParentWnd != nullptr ? m_pParentWnd->GetWidget() : nullptr;
    if (parentWidget == nullptr) {
        if (CWnd* mainWindow = AfxGetMainWnd())
            parentWidget = mainWindow->GetWidget();
    }
    m_window = std::make_unique<Window>();
    m_window->widget = std::make_unique<DialogWindowWidget>(this, parentWidget);
    DialogWindowWidget* window = m_window->widget.get();
    window->setProperty(kDialogProperty, QVariant::fromValue(reinterpret_cast<quintptr>(this)));
    window->setWindowTitle(QString::fromLatin1(m_template.caption));
    window->setModal(true);

    const QFont font = DialogTemplateFont(m_template);
    window->setFont(font);
    const DialogBaseUnits units = GetDialogBaseUnits(font);
    window->setFixedSize(MapDialogRect(units, 0, 0, m_template.cx, m_template.cy).size());

    for (const DialogControl& control : m_template.controls) {
        const QRect area = MapDialogRect(units, control.x, control.y, control.cx, control.cy);
        const QString text = QString::fromLatin1(control.text != nullptr ? control.text : "");
        QWidget* widget = nullptr;
        switch (control.kind) {
        case DialogControlKind::GroupBox: {
            // The platform draws a group's title on the frame's top line, half a line below the
            // control's top, so the frame encloses exactly the controls the template places in it.
            auto* group = new QGroupBox(text, window);
            group->setStyleSheet(
                QStringLiteral("QGroupBox { border: 1px solid palette(mid); border-radius: 2px; "
                               "margin-top: %1px; }"
                               "QGroupBox::title { subcontrol-origin: margin; left: %2px; "
                               "padding: 0 2px; }")
                    .arg(QFontMetrics(font).height() / 2)
                    .arg(units.cx * 2));
            widget = group;
            break;
        }
        case DialogControlKind::Label: {
            auto* label = new QLabel(text, window);
            label->setWordWrap(true);
            label->setAlignment(Qt::AlignTop |
                                ((control.style & DS_ALIGN_RIGHT) ? Qt::AlignRight : Qt::AlignLeft));
            widget = label;
            break;
        }
        case DialogControlKind::Edit: {
            auto* edit = new WidthLimitedLineEdit(window);
            edit->setValidator(new WidthLimitValidator(edit));
            widget = edit;
            break;
        }
        case DialogControlKind::CheckBox: {
            auto* box = new QCheckBox(text, window);
            QObject::connect(box, &QCheckBox::clicked, window,
                             [this, id = control.id] { OnControlCommand(id); });
            widget = box;
            break;
        }
        case DialogControlKind::DropList: {
            auto* combo = new QComboBox(window);
            combo->setEditable(false);
            combo->setInsertPolicy(QComboBox::NoInsert);
            widget = combo;
            break;
        }
        case DialogControlKind::DropDown: {
            auto* combo = new QComboBox(window);
            combo->setEditable(true);
            combo->setInsertPolicy(QComboBox::NoInsert);
            // What the user types stays as typed: completing "10000" to a listed "100000" would change
            // the value behind the user's back.
            combo->setCompleter(nullptr);
            widget = combo;
            break;
        }
        case DialogControlKind::PushButton: {
            auto* button = new QPushButton(text, window);
            button->setAutoDefault(false);
            button->setDefault((control.style & DS_DEFAULT_BUTTON) != 0);
            QObject::connect(button, &QPushButton::clicked, window,
                             [this, id = control.id] { OnControlCommand(id); });
            widget = button;
            break;
        }
        }
        QRect placed = area;
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            // The template gives the height of the dropped list; the closed box is as high as its font
            // needs, and the dropped list shows as many entries as that height holds.
            placed.setHeight(combo->sizeHint().height());
            const int itemHeight = QFontMetrics(font).height() + 2;
            combo->setMaxVisibleItems(std::max(1, (area.height() - placed.height()) / itemHeight));
        }
        widget->setGeometry(placed);
        AddItem(control, widget);
    }
    return TRUE;
}

void CDialog::DestroyDialogWindow() {
    m_items.clear();
    m_window.reset();
}

void CDialog::OnControlCommand(int nID) {
    OnCmdMsg(static_cast<UINT>(nID), CN_COMMAND, nullptr, FALSE);
}

INT_PTR CDialog::DoModal() {
    if (!CreateDialogWindow())
        return -1;
    m_nModalResult = -1;
    m_bEnded = false;
    if (OnInitDialog()) {
        // The framework's choice: the first control that takes the focus with the Tab key.
        for (const DialogControl& control : m_template.controls) {
            CDialogItem* item = GetDlgItem(control.id);
            QWidget* widget = item != nullptr ? item->GetWidget() : nullptr;
            if (widget != nullptr && widget->isEnabled() && (widget->focusPolicy() & Qt::TabFocus)) {
                widget->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
    const int answer = m_bEnded ? m_nModalResult : AfxRunModalDialog(*m_window->widget);
    if (!m_bEnded) {
        if (answer == IDOK)
            OnOK();
        if (!m_bEnded)
            EndDialog(IDCANCEL);
    }
    DestroyDialogWindow();
    return m_nModalResult;
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate) {
    CDataExchange exchange(this, bSaveAndValidate);
    try {
        DoDataExchange(&exchange);
    } catch (const CUserException&) {
        return FALSE;
    }
    return TRUE;
}

void CDialog::EndDialog(int nResult) {
    m_nModalResult = nResult;
    m_bEnded = true;
    if (m_window && m_window->widget)
        m_window->widget->Finish(nResult);
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}
