#include "framework/gui/drawing/DC.h"

#include "framework/gui/drawing/Font.h"

#include <QFont>

// Kept apart from the rest of the context so that measuring and drawing do not pull in the font objects.
CFont* CDC::SelectObject(CFont* pFont) {
    return ExchangeFont(pFont, pFont != nullptr ? pFont->GetQFont() : nullptr);
}
