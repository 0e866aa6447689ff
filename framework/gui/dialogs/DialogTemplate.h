#pragma once

#include "framework/core/WinTypes.h"

#include <vector>

// The id of controls that are never addressed (labels, group boxes).
constexpr int IDC_STATIC = -1;

// The kinds of control a dialog template places.
enum class DialogControlKind {
    GroupBox,   // a frame with a title, drawn behind the controls it groups
    Label,      // static text; long text wraps onto the next line as the platform's labels do
    Edit,       // single-line, bordered edit box, limited to the text its width shows
    CheckBox,   // check box that toggles itself when clicked
    DropList,   // drop-down list without an edit field, in the order the entries are added
    DropDown,   // drop-down list with an edit field: an entry is picked or any text typed
    PushButton, // push button; clicking it sends its id as a command to the dialog
};

// Style flags of a template control.
enum DialogControlStyle : DWORD {
    DS_NONE = 0x0,
    DS_ALIGN_RIGHT = 0x1,    // labels: text flush right
    DS_DEFAULT_BUTTON = 0x2, // push buttons: the button that Enter presses
    DS_VSCROLL = 0x4,        // drop-down lists: the dropped list scrolls
};

// One control of a template. Position and size are in dialog units: a horizontal unit is a quarter of the
// dialog font's average character width, a vertical unit an eighth of its height. For a drop-down list
// the height is that of the dropped list; the closed box is as high as its font needs.
struct DialogControl {
    DialogControlKind kind;
    int id;
    const char* text;
    int x;
    int y;
    int cx;
    int cy;
    DWORD style = DS_NONE;
};

// A dialog resource: caption, client size in dialog units, font and controls in tab order.
struct DialogTemplate {
    const char* caption;
    int cx;
    int cy;
    const char* fontName;
    int pointSize;
    std::vector<DialogControl> controls;
};
