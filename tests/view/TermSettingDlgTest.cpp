#include "support/DialogTestSupport.h"

#include "view/TermSettingDlg.h"

#include <gtest/gtest.h>

#include <QDialog>

namespace {

TermSettingRec SampleSetting() {
    TermSettingRec setting;
    setting.nbMaxiByte = 64;
    setting.bLF = 1;
    setting.bCR = 0;
    setting.bTimestamp = 0;
    setting.timestampFormat = "[%H:%M:%S] ";
    setting.timestampInterval = 500;
    setting.bFilteredByte = 0;
    setting.FilteredBytesList = "\\x07\\x00";
    setting.autoSaveDelay = 60;
    return setting;
}

BOOL Enabled(CDialog& dialog, int nID) {
    return dialog.GetDlgItem(nID)->IsWindowEnabled();
}

// Opens the dialog on a record, puts one text into one box and presses OK; returns the result and the
// messages shown.
struct OkOutcome {
    INT_PTR result;
    std::vector<CString> messages;
    int focused;
};

OkOutcome PressOkWith(const TermSettingRec& setting, int nID, const CString& text) {
    CTermSettingDlg dialog(nullptr, &setting);
    int focused = 0;
    DialogAnswerer answerer([&](CDialog& live) {
        SetItemText(live, nID, text);
        live.GetDlgItemAs<CButton>(IDOK)->Click();
        focused = live.GetFocusedItemId();
        return IDCANCEL;
    });
    const INT_PTR result = dialog.DoModal();
    return OkOutcome{result, answerer.Messages(), focused};
}

TEST(TermSettingDlg, OpensWithTheRecordAndItsDependentBoxesDisabled) {
    const TermSettingRec setting = SampleSetting();
    CTermSettingDlg dialog(nullptr, &setting);
    EXPECT_EQ("1/1000 s", dialog.m_iClocksPerSec);
    DialogAnswerer answerer([](CDialog& live) {
        EXPECT_EQ("Kestrune: Term Settings", live.GetDialogWindow()->windowTitle().toStdString());
        EXPECT_EQ("64", GetItemText(live, IDC_MAXI_BYTE));
        EXPECT_EQ("60", GetItemText(live, IDC_AUTOSAVE_DELAY));
        EXPECT_EQ("500", GetItemText(live, IDC_TIMESTAMP_INTERVAL));
        EXPECT_EQ("[%H:%M:%S] ", GetItemText(live, IDC_TIMESTAMP_FORMAT));
        EXPECT_EQ("\\x07\\x00", GetItemText(live, IDC_FILTERED_BYTES_LIST));
        EXPECT_EQ("1/1000 s", GetItemText(live, IDC_CLOCKS_PER_SEC));
        EXPECT_EQ(BST_CHECKED, live.GetDlgItemAs<CButton>(IDC_LF_OPTION)->GetCheck());
        EXPECT_EQ(BST_UNCHECKED, live.GetDlgItemAs<CButton>(IDC_CR_OPTION)->GetCheck());
        EXPECT_FALSE(Enabled(live, IDC_TIMESTAMP_FORMAT));
        EXPECT_FALSE(Enabled(live, IDC_TIMESTAMP_INTERVAL));
        EXPECT_FALSE(Enabled(live, IDC_TIMESTAMP_EACH_LINE));
        EXPECT_EQ(BST_UNCHECKED, live.GetDlgItemAs<CButton>(IDC_TIMESTAMP_EACH_LINE)->GetCheck());
        EXPECT_FALSE(Enabled(live, IDC_FILTERED_BYTES_LIST));
        EXPECT_TRUE(Enabled(live, IDC_MAXI_BYTE));
        return IDOK;
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(64u, dialog.GetMaxiByte());
    EXPECT_EQ(1, dialog.GetLFOption());
    EXPECT_EQ(0, dialog.GetCROption());
    EXPECT_EQ(0, dialog.GetTimestampOption());
    EXPECT_EQ(0, dialog.GetTimestampEachLineOption());
    EXPECT_EQ("[%H:%M:%S] ", dialog.GetTimestampFormat());
    EXPECT_EQ(500u, dialog.GetTimestampInterval());
    EXPECT_EQ(0, dialog.GetFilteredByteOption());
    EXPECT_EQ("\\x07\\x00", dialog.GetFilteredBytesList());
    EXPECT_EQ(60u, dialog.GetAutoSaveDelay());
}

TEST(TermSettingDlg, FlagsHoldingOtherValuesComeBackAsOne) {
    TermSettingRec setting = SampleSetting();
    setting.bCR = 2;
    setting.bTimestamp = -1;
    setting.bFilteredByte = 7;
    CTermSettingDlg dialog(nullptr, &setting);
    DialogAnswerer answerer([](CDialog& live) {
        EXPECT_EQ(BST_CHECKED, live.GetDlgItemAs<CButton>(IDC_CR_OPTION)->GetCheck());
        EXPECT_TRUE(Enabled(live, IDC_TIMESTAMP_FORMAT));
        EXPECT_TRUE(Enabled(live, IDC_TIMESTAMP_INTERVAL));
        EXPECT_TRUE(Enabled(live, IDC_FILTERED_BYTES_LIST));
        return IDOK;
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(1, dialog.GetCROption());
    EXPECT_EQ(1, dialog.GetTimestampOption());
    EXPECT_EQ(1, dialog.GetFilteredByteOption());
}

TEST(TermSettingDlg, RangesOfTheNumberBoxes) {
    const TermSettingRec setting = SampleSetting();
    struct Case {
        int box;
        const char* text;
        const char* message; // null when accepted
    };
    const Case cases[] = {
        {IDC_MAXI_BYTE, "0", "Please enter an integer between 1 and 1023."},
        {IDC_MAXI_BYTE, "1024", "Please enter an integer between 1 and 1023."},
        {IDC_MAXI_BYTE, "1", nullptr},
        {IDC_MAXI_BYTE, "1023", nullptr},
        {IDC_MAXI_BYTE, "-1", "Please enter a positive integer."},
        {IDC_TIMESTAMP_INTERVAL, "99", "Please enter an integer between 100 and 1000."},
        {IDC_TIMESTAMP_INTERVAL, "1001", "Please enter an integer between 100 and 1000."},
        {IDC_TIMESTAMP_INTERVAL, "-200", "Please enter an integer between 100 and 1000."},
        {IDC_TIMESTAMP_INTERVAL, "ten", "Please enter an integer."},
        {IDC_TIMESTAMP_INTERVAL, "100", nullptr},
        {IDC_TIMESTAMP_INTERVAL, "1000", nullptr},
        {IDC_AUTOSAVE_DELAY, "86400", nullptr},
        {IDC_AUTOSAVE_DELAY, "86401", "Please enter an integer between 0 and 86400."},
        {IDC_AUTOSAVE_DELAY, "0", nullptr},
        {IDC_AUTOSAVE_DELAY, "", "Please enter a positive integer."},
    };
    for (const Case& c : cases) {
        const OkOutcome outcome = PressOkWith(setting, c.box, c.text);
        if (c.message == nullptr) {
            EXPECT_EQ(IDOK, outcome.result) << c.box << " " << c.text;
            EXPECT_TRUE(outcome.messages.empty()) << c.box << " " << c.text;
        } else {
            EXPECT_EQ(IDCANCEL, outcome.result) << c.box << " " << c.text;
            EXPECT_EQ(std::vector<CString>{c.message}, outcome.messages) << c.box << " " << c.text;
        }
    }
}

TEST(TermSettingDlg, ValidationAppliesToDisabledBoxesAndFocusesTheOffender) {
    // An interval from elsewhere that the dialog does not accept is shown as it is and blocks OK.
    TermSettingRec setting = SampleSetting();
    setting.timestampInterval = 50;
    CTermSettingDlg dialog(nullptr, &setting);
    DialogAnswerer answerer([](CDialog& live) {
        EXPECT_EQ("50", GetItemText(live, IDC_TIMESTAMP_INTERVAL));
        live.GetDlgItemAs<CButton>(IDOK)->Click();
        EXPECT_TRUE(live.GetDialogWindow()->isVisible());
        // Checking the timestamp box enables the interval box so the user can mend it.
        live.GetDlgItemAs<CButton>(IDC_TIMESTAMP_OPTION)->Click();
        EXPECT_TRUE(Enabled(live, IDC_TIMESTAMP_INTERVAL));
        SetItemText(live, IDC_TIMESTAMP_INTERVAL, "250");
        live.GetDlgItemAs<CButton>(IDOK)->Click();
        return IDCANCEL;
    });
    EXPECT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(2u, answerer.Messages().size());
    EXPECT_EQ(250u, dialog.GetTimestampInterval());
    EXPECT_EQ(1, dialog.GetTimestampOption());
}

TEST(TermSettingDlg, CheckBoxClicksEnableTheirBoxes) {
    const TermSettingRec setting = SampleSetting();
    CTermSettingDlg dialog(nullptr, &setting);
    DialogAnswerer answerer([](CDialog& live) {
        live.GetDlgItemAs<CButton>(IDC_TIMESTAMP_OPTION)->Click();
        EXPECT_TRUE(Enabled(live, IDC_TIMESTAMP_FORMAT));
        EXPECT_TRUE(Enabled(live, IDC_TIMESTAMP_INTERVAL));
        EXPECT_FALSE(Enabled(live, IDC_FILTERED_BYTES_LIST));
        live.GetDlgItemAs<CButton>(IDC_FILTERED_BYTE_OPTION)->Click();
        EXPECT_TRUE(Enabled(live, IDC_FILTERED_BYTES_LIST));
        live.GetDlgItemAs<CButton>(IDC_TIMESTAMP_OPTION)->Click();
        EXPECT_FALSE(Enabled(live, IDC_TIMESTAMP_FORMAT));
        EXPECT_FALSE(Enabled(live, IDC_TIMESTAMP_INTERVAL));
        return IDOK;
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(0, dialog.GetTimestampOption());
    EXPECT_EQ(1, dialog.GetFilteredByteOption());
    EXPECT_TRUE(answerer.Messages().empty());
}

TEST(TermSettingDlg, OnEveryLineIsEnabledWithTheTimestampBoxKeptWhileItIsOffAndGreysTheInterval) {
    TermSettingRec setting = SampleSetting();
    setting.bTimestamp = 1;
    setting.bTimestampEachLine = 5;
    CTermSettingDlg dialog(nullptr, &setting);
    DialogAnswerer answerer([](CDialog& live) {
        auto* eachLine = live.GetDlgItemAs<CButton>(IDC_TIMESTAMP_EACH_LINE);
        EXPECT_EQ("On every line", eachLine->GetWidget()->property("text").toString().toStdString());
        EXPECT_TRUE(Enabled(live, IDC_TIMESTAMP_EACH_LINE));
        EXPECT_EQ(BST_CHECKED, eachLine->GetCheck());
        // Every line stamped: the minimum quiet interval means nothing, so it is grey.
        EXPECT_TRUE(Enabled(live, IDC_TIMESTAMP_FORMAT));
        EXPECT_FALSE(Enabled(live, IDC_TIMESTAMP_INTERVAL));
        // Timestamps off: the box goes grey with the format and interval, its check mark stays.
        live.GetDlgItemAs<CButton>(IDC_TIMESTAMP_OPTION)->Click();
        EXPECT_FALSE(Enabled(live, IDC_TIMESTAMP_EACH_LINE));
        EXPECT_EQ(BST_CHECKED, eachLine->GetCheck());
        live.GetDlgItemAs<CButton>(IDC_TIMESTAMP_OPTION)->Click();
        EXPECT_TRUE(Enabled(live, IDC_TIMESTAMP_EACH_LINE));
        EXPECT_FALSE(Enabled(live, IDC_TIMESTAMP_INTERVAL));
        eachLine->Click();
        EXPECT_EQ(BST_UNCHECKED, eachLine->GetCheck());
        EXPECT_TRUE(Enabled(live, IDC_TIMESTAMP_INTERVAL));
        eachLine->Click();
        EXPECT_FALSE(Enabled(live, IDC_TIMESTAMP_INTERVAL));
        return IDOK;
    });
    ASSERT_EQ(IDOK, dialog.DoModal());
    EXPECT_EQ(1, dialog.GetTimestampOption());
    EXPECT_EQ(1, dialog.GetTimestampEachLineOption());
    EXPECT_TRUE(answerer.Messages().empty());

    // Unchecked and confirmed, it comes back as 0.
    CTermSettingDlg unchecked(nullptr, &setting);
    DialogAnswerer uncheck([](CDialog& live) {
        live.GetDlgItemAs<CButton>(IDC_TIMESTAMP_EACH_LINE)->Click();
        return IDOK;
    });
    ASSERT_EQ(IDOK, unchecked.DoModal());
    EXPECT_EQ(0, unchecked.GetTimestampEachLineOption());
}

TEST(TermSettingDlg, ClickWithAnOutOfRangeLoopRevertsTheCheckBox) {
    const TermSettingRec setting = SampleSetting();
    CTermSettingDlg dialog(nullptr, &setting);
    DialogAnswerer answerer([](CDialog& live) {
        SetItemText(live, IDC_MAXI_BYTE, "2000");
        live.GetDlgItemAs<CButton>(IDC_TIMESTAMP_OPTION)->Click();
        // The exchange stopped at the loop size, before the check box was saved, so writing the fields
        // back returns the box and its dependants to their previous state; the typed value stays.
        EXPECT_EQ(BST_UNCHECKED, live.GetDlgItemAs<CButton>(IDC_TIMESTAMP_OPTION)->GetCheck());
        EXPECT_FALSE(Enabled(live, IDC_TIMESTAMP_FORMAT));
        EXPECT_FALSE(Enabled(live, IDC_TIMESTAMP_INTERVAL));
        EXPECT_FALSE(Enabled(live, IDC_TIMESTAMP_EACH_LINE));
        EXPECT_EQ("2000", GetItemText(live, IDC_MAXI_BYTE));
        return IDCANCEL;
    });
    EXPECT_EQ(IDCANCEL, dialog.DoModal());
    EXPECT_EQ(std::vector<CString>{"Please enter an integer between 1 and 1023."}, answerer.Messages());
}

} // namespace
