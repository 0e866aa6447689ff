#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// Gives assistive technologies the text, the caret and the selection of a CTextView (installed once, by
// the first view made).
QAccessibleInterface* TextViewAccessibleFactory(const QString& className, QObject* object);
