#pragma once

#include "framework/core/WinTypes.h"

class QString;

// The edit view's find dialog: the text to find (as bytes), match case, and the direction (down is next).
// TRUE when the user asked to find, FALSE when cancelled or the text is empty. It runs through the modal
// dialog hook; its controls are named "findWhat", "matchCase" and "searchUp" for tests.
BOOL AfxRunFindDialog(CString& what, BOOL& bCase, BOOL& bNext);
// The same with the text as typed, for a view that shows characters beyond single bytes.
BOOL AfxRunFindDialog(QString& what, BOOL& bCase, BOOL& bNext);
