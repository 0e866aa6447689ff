#pragma once

#include <string>
#include <string_view>

// Reads bytes written in hexadecimal as a user types them into a search: "7e 01 03", "7E0103",
// "7e:01:03", "7e-01-03", "0x7e, 0x01, 0x03", "\x7e\x01\x03". Blanks, commas, colons and hyphens separate
// groups; a group may start with 0x or \x; a group of one digit is one byte ("7e 1 3"), a longer one must
// hold whole pairs of digits. Anything else, an odd group of three or more digits, or a text without a
// byte, is no byte string: the result is false and bytes is left empty.
bool ParseHexByteString(std::string_view text, std::string& bytes);
