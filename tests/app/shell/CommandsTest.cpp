#include "MainFrameTestSupport.h"

#include "app/resource.h"
#include "framework/core/CmdUI.h"
#include "framework/core/MessageBox.h"
#include "framework/core/Resource.h"
#include "framework/gui/docview/Menu.h"
#include "framework/gui/windows/TestHook.h"

#include <QAction>
#include <QDialog>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every popup of a menu resource with its items as "text(id)", separators as "-".
// A popup's items; a submenu's in brackets.
std::string DescribeItems(const MenuItemTemplate& popup) {
    std::string line;
    for (const MenuItemTemplate& item : popup.popup) {
        if (item.text.empty())
            line += " -";
        else if (!item.popup.empty())
            line += " " + item.text + "[" + DescribeItems(item).substr(1) + "]";
        else
            line += " " + item.text + "(" + std::to_string(item.id) + ")";
    }
    return line;
}

std::vector<std::string> Describe(const MenuTemplate& menu) {
    std::vector<std::string> lines;
    for (const MenuItemTemplate& popup : menu)
        lines.push_back(popup.text + ":" + DescribeItems(popup));
    return lines;
}

QMenu* PopupOf(QMenuBar* bar, const QString& title) {
    for (QAction* action : bar->actions()) {
        if (action->text() == title)
            return action->menu();
    }
    return nullptr;
}

QAction* ItemOf(QMenu* popup, const QString& text) {
    for (QAction* action : popup->actions()) {
        if (action->text() == text)
            return action;
    }
    return nullptr;
}

} // namespace

TEST(Commands, MenusCarryTheirExactItems) {
    RegisterAppResources();
    const std::vector<std::string> main = {
        "&File: &New\tCtrl+N(201) E&xit\tCtrl+Q(57665)",
        "&View: &Toolbar(59392) &Status Bar(59393)",
        "&Help: Kestrune &Help(57670) &Using Help(57668) - &About Kestrune(57664)",
    };
    EXPECT_EQ(Describe(*AfxFindMenu(IDR_MAINFRAME)), main);
    const std::vector<std::string> terminal = {
        "&File: &New\tCtrl+N(201) Save &As...(57604) Capture to &File...(230) - Page Set&up(57605) "
        "&Print...\tCtrl+P(57607) "
        "Print Previe&w...(57609) - E&xit\tCtrl+Q(57665)",
        "&Edit: &Copy\tCtrl+C(57634) - &Find...\tCTRL+F(57636) Find &Next\tF3(57640) - Select &All(57642) "
        "Clear &Screen(205)",
        "&View: &Toolbar(59392) &Status Bar(59393) - He&x(220) &Character Set[&UTF-8(221) "
        "&Windows-1252(222)] "
        "&Escape Sequences[&Colours(223) &Hide(224) &Show(225)]",
        "&Setup: Freeze &screen\tCTRL+S(202) - &Terminal...(203) Serial &port...(204) &Font...(57696)",
        "&Window: &Cascade(57650) Tile &Horizontally(57651) Tile &Vertically(57652) &Arrange &Icons(57649)",
        "&Help: Kestrune &Help(57670) &Using Help(57668) - &About Kestrune(57664)",
    };
    EXPECT_EQ(Describe(*AfxFindMenu(IDR_TEXTTYPE)), terminal);
}

TEST(Commands, PromptsAndToolTipsAreTheCommandStrings) {
    EXPECT_STREQ(AfxLoadString(201), "Etablish a new connection\nConnect");
    EXPECT_STREQ(AfxLoadString(57634), "Copy the selection and puts it on the Clipboard\nCopy");
    EXPECT_STREQ(AfxLoadString(57345), "Ready");
    EXPECT_STREQ(AfxLoadString(220), "Show the window's bytes as a hex dump\nHex view");
    EXPECT_EQ(AfxLoadString(57605), nullptr);
    EXPECT_EQ(AfxLoadString(57668), nullptr);
    EXPECT_STREQ(AfxLoadString(3), "\nUntitled \nTEXT Document\nText Files (*.txt)\n.txt\nTextFileType\nTEXT "
                                   "File Type\nTEXT\nText Files\n");
}

TEST(Commands, WithoutWindowTheFrameMenuShowsWithItsStates) {
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    gMainApp.OnIdle(0);
    CFrameMenuBar* menu = CFrameMenuBar::FromFrame(app.frame);
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->GetCurrentMenuId(), IDR_MAINFRAME);
    QMenuBar* bar = menu->GetMenuBarWidget();
    QMenu* help = PopupOf(bar, QStringLiteral("&Help"));
    ASSERT_NE(help, nullptr);
    menu->UpdatePopup(help);
    EXPECT_FALSE(ItemOf(help, QStringLiteral("&Using Help"))->isEnabled());
    EXPECT_TRUE(ItemOf(help, QStringLiteral("&About Kestrune"))->isEnabled());
    EXPECT_TRUE(ItemOf(help, QStringLiteral("Kestrune &Help"))->isEnabled());
    EXPECT_EQ(ItemOf(help, QStringLiteral("&About Kestrune"))->statusTip(),
              QStringLiteral("Display program information, version number and copyright"));
    QMenu* view = PopupOf(bar, QStringLiteral("&View"));
    menu->UpdatePopup(view);
    EXPECT_TRUE(ItemOf(view, QStringLiteral("&Toolbar"))->isChecked());
    EXPECT_TRUE(ItemOf(view, QStringLiteral("&Status Bar"))->isChecked());
}

TEST(Commands, WithoutWindowViewAcceleratorsDoNothing) {
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    CFrameMenuBar* menu = CFrameMenuBar::FromFrame(app.frame);
    ASSERT_NE(menu, nullptr);
    for (UINT id : {202u, 57634u, 57636u, 57640u, 57642u, 57607u})
        EXPECT_FALSE(menu->RunAccelerator(id)) << id;
}

TEST(Commands, AboutBoxNamesTheProgramAndItsVersion) {
    MainFrameUnderTest app;
    ASSERT_NE(app.frame, nullptr);
    QString shown;
    GuiTestHook hook;
    hook.modalDialog = [&shown](QDialog& dialog) {
        shown = dialog.windowTitle();
        for (QLabel* label : dialog.findChildren<QLabel*>())
            shown += "|" + label->text();
        return IDOK;
    };
    CScopedGuiTestHook scoped(hook);
    gMainApp.OnAppAbout();
    EXPECT_TRUE(shown.contains(QStringLiteral("About Kestrune"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QStringLiteral("Kestrune Version 1.0.0"))) << shown.toStdString();
}
