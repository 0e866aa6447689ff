#pragma once

#include <string>

// Splits a text at a delimiter that is matched as a whole string, not as a set of characters. Runs of the
// delimiter count as one, and a delimiter at the start or the end is dropped, so no token is ever empty.
class StringTokenizer {
public:
    StringTokenizer(const std::string& str, const std::string& delim);

    // Tokens still available; consumes nothing.
    int countTokens();
    // The next token, removed from the tokenizer; empty when none is left.
    std::string nextToken();

private:
    std::string token_str;
    std::string delim;
};
