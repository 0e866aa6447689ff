#pragma once

#include "framework/core/WinTypes.h"

// The framework's own string ids.
constexpr UINT AFX_IDS_APP_TITLE = 57344;

// The string table is part of the program, as resources are part of a desktop executable: the application
// defines this lookup. Returns null for an id that has no string.
const char* AfxLoadString(UINT id);

// The string of an id as text, or fallback when the table has none.
inline CString AfxLoadText(UINT id, const char* fallback = "") {
    const char* text = AfxLoadString(id);
    return text != nullptr ? CString(text) : CString(fallback);
}
