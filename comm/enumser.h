#pragma once

#include "framework/UIntArray.h"

// Fills `ports` with the numbers of the serial ports present (1 for COM1), and nothing else: old content
// is removed first. With a readable device table the numbers come in table order; otherwise every number
// from 1 to 255 is probed by opening it, and ports that refuse as busy or failing count as present.
// Raises nothing: a platform failure gives a shorter or empty list.
void EnumerateSerialPorts(CUIntArray& ports);
