#pragma once

class QAccessibleInterface;
class QObject;
class QString;

// Assistive technologies read a hex view as its dump lines.
QAccessibleInterface* HexViewAccessibleFactory(const QString& className, QObject* object);
