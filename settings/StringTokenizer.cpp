#include "settings/StringTokenizer.h"

StringTokenizer::StringTokenizer(const std::string& str, const std::string& delimiter) {
    // An empty delimiter yields nothing rather than the whole text as one token.
    if (str.empty() || delimiter.empty())
        return;
    token_str = str;
    delim = delimiter;
    const size_t width = delim.size();

    size_t position = token_str.find(delim);
    while (position != std::string::npos) {
        const size_t end = position + width;
        while (token_str.compare(end, width, delim) == 0)
            token_str.erase(end, width);
        position = token_str.find(delim, end);
    }
    if (token_str.compare(0, width, delim) == 0)
        token_str.erase(0, width);
    const size_t last = token_str.rfind(delim);
    if (last != std::string::npos && last + width == token_str.size())
        token_str.erase(last, width);
}

int StringTokenizer::countTokens() {
    if (token_str.empty())
        return 0;
    int count = 0;
    size_t position = 0;
    while ((position = token_str.find(delim, position)) != std::string::npos) {
        ++count;
        position += delim.size();
    }
    return count + 1;
}

std::string StringTokenizer::nextToken() {
    if (token_str.empty())
        return std::string();
    const size_t position = token_str.find(delim);
    if (position == std::string::npos) {
        std::string token;
        token.swap(token_str);
        return token;
    }
    std::string token = token_str.substr(0, position);
    token_str.erase(0, position + delim.size());
    return token;
}
