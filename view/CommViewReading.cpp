// How a terminal view reads its bytes: the View menu's character set and escape sequence choices, per
// window, starting from the preferences.
#include "app/main.h"
#include "framework/core/CmdUI.h"
#include "settings/Preference.h"
#include "view/CommView.h"

void CCommView::AddReadingCommands() {
    struct Choice {
        UINT id;
        CharacterSet characters;
        bool isCharacterSet;
        EscapeSequences escapes;
    };
    static constexpr Choice kChoices[] = {
        {ID_VIEW_CHARSET_UTF8, CharacterSet::Utf8, true, EscapeSequences::Colours},
        {ID_VIEW_CHARSET_WINDOWS1252, CharacterSet::Windows1252, true, EscapeSequences::Colours},
        {ID_VIEW_ESCAPES_COLOURS, CharacterSet::Utf8, false, EscapeSequences::Colours},
        {ID_VIEW_ESCAPES_HIDE, CharacterSet::Utf8, false, EscapeSequences::Hide},
        {ID_VIEW_ESCAPES_SHOW, CharacterSet::Utf8, false, EscapeSequences::Show},
    };
    for (const Choice& choice : kChoices) {
        AddCommandHandler(choice.id, [this, choice]() {
            if (choice.isCharacterSet)
                SetReading(choice.characters, GetEscapeSequences());
            else
                SetReading(GetCharacterSet(), choice.escapes);
        });
        AddUpdateHandler(choice.id, [this, choice](CCmdUI* ui) {
            const bool chosen = choice.isCharacterSet ? GetCharacterSet() == choice.characters
                                                      : GetEscapeSequences() == choice.escapes;
            ui->SetCheck(chosen ? 1 : 0);
        });
    }
}

void CCommView::ApplyPreferredReading() {
    ViewReadingRec reading;
    if (const CPreference* preferences = gMainApp.m_PrefApp)
        reading = preferences->m_viewReading;
    const EscapeSequences escapes = reading.escapes == ViewReadingRec::kHide   ? EscapeSequences::Hide
                                    : reading.escapes == ViewReadingRec::kShow ? EscapeSequences::Show
                                                                               : EscapeSequences::Colours;
    SetReading(reading.utf8 ? CharacterSet::Utf8 : CharacterSet::Windows1252, escapes);
}
