#include "app/AppResources.h"

#include "app/resource.h"
#include "framework/gui/docview/Document.h"
#include "framework/gui/docview/FrameWnd.h"
#include "framework/gui/docview/MDIFrameWnd.h"
#include "framework/gui/docview/Menu.h"
#include "framework/gui/docview/View.h"
#include "framework/gui/textview/EditView.h"
#include "view/CommView.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QtGlobal>

namespace {

const MenuItemTemplate kSeparator{};

MenuItemTemplate Item(const char* text, UINT id) {
    return MenuItemTemplate{text, id, {}};
}

MenuItemTemplate Popup(const char* text, std::vector<MenuItemTemplate> items) {
    return MenuItemTemplate{text, 0, std::move(items)};
}

// The bars, then in a terminal window the items of its view.
MenuItemTemplate ViewPopup(std::vector<MenuItemTemplate> windowItems = {}) {
    std::vector<MenuItemTemplate> items{Item("&Toolbar", ID_VIEW_TOOLBAR),
                                        Item("&Status Bar", ID_VIEW_STATUS_BAR)};
    if (!windowItems.empty())
        items.push_back(kSeparator);
    items.insert(items.end(), windowItems.begin(), windowItems.end());
    return Popup("&View", std::move(items));
}

MenuItemTemplate HelpPopup() {
    return Popup("&Help", {Item("Kestrune &Help", ID_HELP_INDEX), Item("&Using Help", ID_HELP_USING),
                           kSeparator, Item("&About Kestrune", ID_APP_ABOUT)});
}

MenuTemplate MainFrameMenu() {
    return {
        Popup("&File", {Item("&New\tCtrl+N", ID_FILE_NEW_CONNECTION), Item("E&xit\tCtrl+Q", ID_APP_EXIT)}),
        ViewPopup(), HelpPopup()};
}

MenuTemplate TerminalMenu() {
    return {
        Popup("&File", {Item("&New\tCtrl+N", ID_FILE_NEW_CONNECTION), Item("Save &As...", ID_FILE_SAVE_AS),
                        Item("Capture to &File...", ID_FILE_CAPTURE), kSeparator,
                        Item("Page Set&up", ID_FILE_PAGE_SETUP), Item("&Print...\tCtrl+P", ID_FILE_PRINT),
                        Item("Print Previe&w...", ID_FILE_PRINT_PREVIEW), kSeparator,
                        Item("E&xit\tCtrl+Q", ID_APP_EXIT)}),
        Popup("&Edit",
              {Item("&Copy\tCtrl+C", ID_EDIT_COPY), kSeparator, Item("&Find...\tCTRL+F", ID_EDIT_FIND),
               Item("Find &Next\tF3", ID_EDIT_REPEAT), kSeparator, Item("Select &All", ID_EDIT_SELECT_ALL),
               Item("Clear &Screen", ID_EDIT_CLEAR_SCREEN)}),
        ViewPopup({Item("He&x", ID_VIEW_HEX),
                   Popup("&Character Set", {Item("&UTF-8", ID_VIEW_CHARSET_UTF8),
                                            Item("&Windows-1252", ID_VIEW_CHARSET_WINDOWS1252)}),
                   Popup("&Escape Sequences",
                         {Item("&Colours", ID_VIEW_ESCAPES_COLOURS), Item("&Hide", ID_VIEW_ESCAPES_HIDE),
                          Item("&Show", ID_VIEW_ESCAPES_SHOW)})}),
        Popup("&Setup", {Item("Freeze &screen\tCTRL+S", ID_SETUP_FREEZE_SCREEN), kSeparator,
                         Item("&Terminal...", ID_SETUP_TERMINAL),
                         Item("Serial &port...", ID_SETUP_SERIAL_PORT), Item("&Font...", ID_FORMAT_FONT)}),
        Popup("&Window",
              {Item("&Cascade", ID_WINDOW_CASCADE), Item("Tile &Horizontally", ID_WINDOW_TILE_HORZ),
               Item("Tile &Vertically", ID_WINDOW_TILE_VERT), Item("&Arrange &Icons", ID_WINDOW_ARRANGE)}),
        HelpPopup(),
    };
}

} // namespace

// The bitmaps are compiled into a static library, whose resource initialiser the linker would drop unless
// something calls it (it may not stand in a namespace).
static void InitBitmaps() {
    Q_INIT_RESOURCE(kestrune);
}

void RegisterAppResources() {
    InitBitmaps();
    // The program's icon on its windows, at every size the desktop's icon theme has it.
    if (qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr) {
        QIcon icon;
        for (int size : {16, 32, 48, 64, 128, 256})
            icon.addFile(QStringLiteral(":/icons/%1.png").arg(size), QSize(size, size));
        QApplication::setWindowIcon(icon);
    }
    AfxRegisterMenu(IDR_MAINFRAME, MainFrameMenu());
    AfxRegisterMenu(IDR_TEXTTYPE, TerminalMenu());
    // The print item names Ctrl+P, so Ctrl+P prints as well; the table's other keys are as listed.
    AfxRegisterAccelerators(IDR_MAINFRAME, {{"Ctrl+A", ID_EDIT_SELECT_ALL},
                                            {"Ctrl+C", ID_EDIT_COPY},
                                            {"Ctrl+F", ID_EDIT_FIND},
                                            {"Ctrl+N", ID_FILE_NEW_CONNECTION},
                                            {"Ctrl+P", ID_FILE_PRINT},
                                            {"Ctrl+Q", ID_APP_EXIT},
                                            {"Ctrl+S", ID_SETUP_FREEZE_SCREEN},
                                            {"F3", ID_EDIT_REPEAT}});
}
