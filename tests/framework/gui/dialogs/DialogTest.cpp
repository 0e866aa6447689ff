#include "support/DialogTestSupport.h"

#include "framework/gui/dialogs/Dialog.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

constexpr int kCountBox = 2001;
constexpr int kOffsetBox = 2002;
constexpr int kNameBox = 2003;
constexpr int kOptionBox = 2004;
constexpr int kChoiceList = 2005;
constexpr int kCountLabel = 2006;

const DialogTemplate kSampleTemplate = {
    "Sample settings",
    160,
    100,
    "MS Sans Serif",
    8,
    {
        {DialogControlKind::GroupBox, IDC_STATIC, "Values", 4, 4, 100, 90},
        {DialogControlKind::Label, kCountLabel, "Count :", 8, 16, 30, 8, DS_ALIGN_RIGHT},
        {DialogControlKind::Edit, kCountBox, "", 40, 14, 30, 12},
        {DialogControlKind::Edit, kOffsetBox, "", 40, 30, 30, 12},
        {DialogControlKind::Edit, kNameBox, "", 40, 46, 20, 12},
        {DialogControlKind::CheckBox, kOptionBox, "Option", 8, 62, 60, 8},
        {DialogControlKind::DropList, kChoiceList, "", 8, 74, 60, 50, DS_VSCROLL},
        {DialogControlKind::PushButton, IDOK, "OK", 108, 6, 48, 14, DS_DEFAULT_BUTTON},
        {DialogControlKind::PushButton, IDCANCEL, "Cancel", 108, 23, 48, 14},
    },
};

// A dialog exercising every kind of exchange: an unsigned count between 1 and 50, a signed offset, a
// text, a check box and a list.
class SampleDialog : public CDialog {
public:
    SampleDialog() : CDialog(300, kSampleTemplate) {
        AddCommandHandler(kOptionBox, [this] { ++optionClicks; });
    }

    UINT count = 5;
    int offset = -3;
    CString name = "abc";
    int option = 1;
    CString choice = "com1";
    int optionClicks = 0;

protected:
    BOOL OnInitDialog() override {
        auto* list = GetDlgItemAs<CComboBox>(kChoiceList);
        for (const char* entry : {"COM1", "COM10", "COM2"})
            list->AddString(entry);
        return CDialog::OnInitDialog();
    }

    void DoDataExchange(CDataExchange* pDX) override {
        DDX_Text(pDX, kCountBox, count);
        DDV_MinMaxUInt(pDX, count, 1, 50);
        DDX_Text(pDX, kOffsetBox, offset);
        DDX_Text(pDX, kNameBox, name);
        DDX_Check(pDX, kOptionBox, option);
        DDX_CBString(pDX, kChoiceList, choice);
    }
};

TEST(DialogTextParsing, AcceptsOnlyWholeNumbersWithBlanksAround) {
    UINT u = 0;
    EXPECT_TRUE(ParseUnsignedDialogText(" 42\t", u));
    EXPECT_EQ(42u, u);
    EXPECT_TRUE(ParseUnsignedDialogText("+7", u));
    EXPECT_EQ(7u, u);
    EXPECT_TRUE(ParseUnsignedDialogText("99999999999", u));
    EXPECT_EQ(4294967295u, u); // beyond the type: clamped, so a range check still refuses it
    for (const char* bad : {"", " ", "-1", "12a", "1 2", "x", "0x10"})
        EXPECT_FALSE(ParseUnsignedDialogText(bad, u)) << bad;

    int s = 0;
    EXPECT_TRUE(ParseSignedDialogText("-15", s));
    EXPECT_EQ(-15, s);
    EXPECT_TRUE(ParseSignedDialogText("-99999999999", s));
    EXPECT_EQ(INT_MIN, s);
    EXPECT_TRUE(ParseSignedDialogText("99999999999", s));
    EXPECT_EQ(INT_MAX, s);
    for (const char* bad : {"", "-", "--1", "1.5", "abc"})
        EXPECT_FALSE(ParseSignedDialogText(bad, s)) << bad;

    EXPECT_EQ("between 1 and 1023, 1", AfxFormatString2("between %1 and %2, %1", "1", "1023"));
}

TEST(DialogLayout, PlacesControlsFromDialogUnitsWithTheTemplateFont) {
    EnsureDialogTestApplication();
    SampleDialog dialog;
    DialogAnswerer answerer([](CDialog& live) {
        QDialog* window = live.GetDialogWindow();
        const QFont font = DialogTemplateFont(live.GetTemplate());
        const DialogBaseUnits units = GetDialogBaseUnits(font);
        EXPECT_GT(units.cx, 3);
        EXPECT_GT(units.cy, 8);
        EXPECT_EQ("Sample settings", window->windowTitle().toStdString());
        EXPECT_EQ(MapDialogRect(units, 0, 0, 160, 100).size(), window->size());
        EXPECT_EQ(font.pointSize(), window->font().pointSize());

        const QRect countArea = MapDialogRect(units, 40, 14, 30, 12);
        EXPECT_EQ(countArea, live.GetDlgItem(kCountBox)->GetWidget()->geometry());
        auto* label = qobject_cast<QLabel*>(live.GetDlgItem(kCountLabel)->GetWidget());
        EXPECT_TRUE(label != nullptr && (label->alignment() & Qt::AlignRight));
        // A drop-down list is as high as its font needs, however high its dropped list is.
        QWidget* list = live.GetDlgItem(kChoiceList)->GetWidget();
        EXPECT_EQ(MapDialogRect(units, 8, 74, 60, 50).width(), list->width());
        EXPECT_LT(list->height(), MapDialogRect(units, 8, 74, 60, 50).height());
        auto* ok = qobject_cast<QPushButton*>(live.GetDlgItem(IDOK)->GetWidget());
        EXPECT_TRUE(ok->isDefault());
        EXPECT_EQ(1, window->findChildren<QGroupBox*>().size());
        return IDCANCEL;
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(1, answerer.DialogsShown());
    EXPECT_EQ(nullptr, dialog.GetDialogWindow());
    EXPECT_EQ(nullptr, dialog.GetDlgItem(kCountBox));
}

TEST(DialogExchange, LoadsFieldsAndSavesThemOnOk) {
    SampleDialog dialog;
    DialogAnswerer answerer([](CDialog& live) {
        EXPECT_EQ("5", GetItemText(live, kCountBox));
        EXPECT_EQ("-3", GetItemText(live, kOffsetBox));
        EXPECT_EQ("abc", GetItemText(live, kNameBox));
        EXPECT_EQ(BST_CHECKED, live.GetDlgItemAs<CButton>(kOptionBox)->GetCheck());
        // "com1" begins "COM1" and "COM10"; the first from the top wins, ignoring case.
        EXPECT_EQ(0, live.GetDlgItemAs<CComboBox>(kChoiceList)->GetCurSel());
        SetItemText(live, kCountBox, " 50 ");
        SetItemText(live, kOffsetBox, "-40");
        SetItemText(live, kNameBox, "xyz");
        live.GetDlgItemAs<CButton>(kOptionBox)->Click();
        live.GetDlgItemAs<CComboBox>(kChoiceList)->SetCurSel(2);
        return IDOK;
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(50u, dialog.count);
    EXPECT_EQ(-40, dialog.offset);
    EXPECT_EQ("xyz", dialog.name);
    EXPECT_EQ(0, dialog.option);
    EXPECT_EQ(1, dialog.optionClicks);
    EXPECT_EQ("COM2", dialog.choice);
    EXPECT_TRUE(answerer.Messages().empty());
}

TEST(DialogExchange, CancelLeavesFieldsAlone) {
    SampleDialog dialog;
    DialogAnswerer answerer([](CDialog& live) {
        SetItemText(live, kCountBox, "9");
        live.GetDlgItemAs<CButton>(IDCANCEL)->Click();
        return IDOK; // the dialog has ended already; the answer no longer counts
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(5u, dialog.count);
}

TEST(DialogExchange, EscapeCancels) {
    SampleDialog dialog;
    DialogAnswerer answerer([](CDialog& live) {
        live.GetDialogWindow()->reject();
        return IDOK;
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
}

TEST(DialogValidation, RefusedValueKeepsTheDialogOpenWithFocusOnTheBox) {
    SampleDialog dialog;
    DialogAnswerer* seen = nullptr;
    DialogAnswerer answerer([&seen](CDialog& live) {
        SetItemText(live, kOffsetBox, "12");
        SetItemText(live, kCountBox, "51");
        live.GetDlgItemAs<CButton>(IDOK)->Click();
        EXPECT_TRUE(live.GetDialogWindow()->isVisible());
        EXPECT_EQ(kCountBox, live.GetFocusedItemId());
        EXPECT_EQ("51", live.GetDlgItemAs<CEdit>(kCountBox)->GetSelText());
        EXPECT_EQ(1u, seen->Messages().size());

        SetItemText(live, kCountBox, "abc");
        live.GetDlgItemAs<CButton>(IDOK)->Click();
        SetItemText(live, kCountBox, "-2");
        live.GetDlgItemAs<CButton>(IDOK)->Click();
        SetItemText(live, kCountBox, "7");
        SetItemText(live, kOffsetBox, "seven");
        live.GetDlgItemAs<CButton>(IDOK)->Click();
        EXPECT_EQ(kOffsetBox, live.GetFocusedItemId());
        SetItemText(live, kOffsetBox, "-7");
        live.GetDlgItemAs<CButton>(IDOK)->Click();
        return IDCANCEL;
    });
    seen = &answerer;
    EXPECT_EQ(IDOK, dialog.DoModal());
    const std::vector<CString> expected = {"Please enter an integer between 1 and 50.",
                                           "Please enter a positive integer.",
                                           "Please enter a positive integer.", "Please enter an integer."};
    EXPECT_EQ(expected, answerer.Messages());
    EXPECT_EQ(7u, dialog.count);
    EXPECT_EQ(-7, dialog.offset);
}

TEST(DialogValidation, AnOkAnswerThatCannotCloseCountsAsCancel) {
    SampleDialog dialog;
    DialogAnswerer answerer([](CDialog& live) {
        SetItemText(live, kCountBox, "0");
        return IDOK;
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(std::vector<CString>{"Please enter an integer between 1 and 50."}, answerer.Messages());
}

TEST(DialogComboBox, KeepsInsertionOrderAndSelectsByPrefix) {
    SampleDialog dialog;
    DialogAnswerer answerer([](CDialog& live) {
        auto* list = live.GetDlgItemAs<CComboBox>(kChoiceList);
        EXPECT_EQ(3, list->GetCount());
        CString text;
        list->GetLBText(1, text);
        EXPECT_EQ("COM10", text);
        EXPECT_EQ(1, list->SelectString(-1, "com10"));
        EXPECT_EQ(2, list->SelectString(-1, "CoM2"));
        // The search starts after the given entry and wraps round.
        EXPECT_EQ(1, list->FindString(0, "COM1"));
        EXPECT_EQ(0, list->FindString(1, "COM1"));
        // Nothing matches: the selection stays.
        EXPECT_EQ(CB_ERR, list->SelectString(-1, "COM3"));
        EXPECT_EQ(2, list->GetCurSel());
        // An empty text begins no entry.
        EXPECT_EQ(CB_ERR, list->FindString(-1, ""));
        return IDCANCEL;
    });
    dialog.DoModal();
}

TEST(DialogComboBox, UnmatchedTextLeavesNoSelectionAndSavesEmpty) {
    for (const char* value : {"COM3", ""}) {
        SampleDialog dialog;
        dialog.choice = value;
        DialogAnswerer answerer([](CDialog& live) {
            EXPECT_EQ(CB_ERR, live.GetDlgItemAs<CComboBox>(kChoiceList)->GetCurSel());
            return IDOK;
        });
        EXPECT_EQ(IDOK, dialog.DoModal());
        EXPECT_EQ("", dialog.choice) << value;
    }
}

constexpr int kTypedList = 2007;

const DialogTemplate kTypedTemplate = {
    "Typed choice",
    120,
    60,
    "MS Sans Serif",
    8,
    {
        {DialogControlKind::DropDown, kTypedList, "", 8, 8, 60, 50, DS_VSCROLL},
        {DialogControlKind::PushButton, IDOK, "OK", 70, 6, 48, 14, DS_DEFAULT_BUTTON},
    },
};

// A drop-down list with an edit field: its text is an entry or whatever the user typed.
class TypedChoiceDialog : public CDialog {
public:
    TypedChoiceDialog() : CDialog(301, kTypedTemplate) {}

    CString choice;

protected:
    BOOL OnInitDialog() override {
        auto* list = GetDlgItemAs<CComboBox>(kTypedList);
        for (const char* entry : {"COM1", "COM10", "COM2"})
            list->AddString(entry);
        return CDialog::OnInitDialog();
    }

    void DoDataExchange(CDataExchange* pDX) override { DDX_CBString(pDX, kTypedList, choice); }
};

TEST(DialogComboBox, WithAnEditFieldTheTextIsTheEntryOfExactlyThatTextOrAsTyped) {
    struct Case {
        const char* loaded;
        int selected;
        const char* shown;
    };
    // An exact entry (any letter case) is selected, never one the text only begins; other texts stay as
    // they are, with nothing selected.
    const Case cases[] = {
        {"com1", 0, "COM1"}, {"COM10", 1, "COM10"}, {"COM3", CB_ERR, "COM3"}, {"", CB_ERR, ""}};
    for (const Case& c : cases) {
        TypedChoiceDialog dialog;
        dialog.choice = c.loaded;
        DialogAnswerer answerer([&c](CDialog& live) {
            auto* list = live.GetDlgItemAs<CComboBox>(kTypedList);
            EXPECT_EQ(c.selected, list->GetCurSel()) << c.loaded;
            EXPECT_EQ(CString(c.shown), GetItemText(live, kTypedList)) << c.loaded;
            return IDOK;
        });
        EXPECT_EQ(IDOK, dialog.DoModal());
        EXPECT_EQ(CString(c.shown), dialog.choice);
    }

    // A typed text is saved as typed, also the start of an entry.
    TypedChoiceDialog dialog;
    DialogAnswerer answerer([](CDialog& live) {
        auto* combo = qobject_cast<QComboBox*>(live.GetDlgItem(kTypedList)->GetWidget());
        EXPECT_TRUE(combo->isEditable());
        combo->lineEdit()->setText("COM");
        return IDOK;
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ("COM", dialog.choice);
}

TEST(DialogEdit, TypingStopsAtTheWidthOfTheBox) {
    SampleDialog dialog;
    dialog.name = "";
    DialogAnswerer answerer([](CDialog& live) {
        TypeIntoEdit(live, kNameBox, "ab");
        EXPECT_EQ("ab", GetItemText(live, kNameBox));
        TypeIntoEdit(live, kNameBox, CString(200, 'W'));
        const CString typed = GetItemText(live, kNameBox);
        EXPECT_GT(typed.size(), 0u);
        EXPECT_LT(typed.size(), 200u);
        auto* edit = qobject_cast<QLineEdit*>(live.GetDlgItem(kNameBox)->GetWidget());
        EXPECT_LE(QFontMetrics(edit->font()).horizontalAdvance(edit->text()), edit->width());
        // The program may set more than the box shows, and the user may still shorten it.
        SetItemText(live, kNameBox, CString(200, 'W'));
        EXPECT_EQ(200u, GetItemText(live, kNameBox).size());
        edit->end(false);
        edit->backspace();
        EXPECT_EQ(199u, GetItemText(live, kNameBox).size());
        return IDCANCEL;
    });
    dialog.DoModal();
}

} // namespace
