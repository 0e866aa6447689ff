#pragma once

#include "framework/gui/docview/Document.h"
#include "reception/LoopText.h"

class CCommView;

// The document of a terminal window: the text its view received, saved and loaded as a plain text file.
class CMainDoc : public CDocument {
public:
    CMainDoc() = default;
    ~CMainDoc() override = default;

    BOOL OnNewDocument() override;
    // Hands the archive to the first view's SerializeRaw; a document without a view serialises nothing.
    void Serialize(CArchive& ar) override;
    // The first view of the document as a terminal view, or null.
    CCommView* GetViewDocument() const;

    // The latest copy of the reception thread's text, filled by the view. Its front is cut by a mark, as
    // the thread's own, so an update of a full loop does not move the whole text.
    CLoopText m_strData;
};
