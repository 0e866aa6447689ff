#include "settings/IniFile.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>

CIniFile::CIniFile(std::string iniPath) : caseInsensitive(true) { Path(std::move(iniPath)); }

void CIniFile::Path(std::string newPath) { path = std::move(newPath); }

std::string CIniFile::CheckCase(std::string s) const {
    if (!caseInsensitive)
        return s;
    // Only ASCII letters fold: bytes above 0x7F are compared as they are, whatever the locale says.
    for (char& c : s) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return s;
}

long CIniFile::FindKey(std::string keyname) const {
    const std::string wanted = CheckCase(std::move(keyname));
    for (size_t keyID = 0; keyID < names.size(); ++keyID) {
        if (CheckCase(names[keyID]) == wanted)
            return static_cast<long>(keyID);
    }
    return -1;
}

long CIniFile::FindValue(unsigned keyID, std::string valuename) const {
    if (keyID >= keys.size() || keys[keyID].names.empty())
        return -1;
    const std::string wanted = CheckCase(std::move(valuename));
    const std::vector<std::string>& entryNames = keys[keyID].names;
    for (size_t valueID = 0; valueID < entryNames.size(); ++valueID) {
        if (CheckCase(entryNames[valueID]) == wanted)
            return static_cast<long>(valueID);
    }
    return -1;
}

unsigned CIniFile::AddKeyName(std::string keyname) {
    names.push_back(std::move(keyname));
    keys.emplace_back();
    return static_cast<unsigned>(names.size() - 1);
}

bool CIniFile::SetValue(std::string keyname, std::string valuename, std::string value, bool create) {
    long keyID = FindKey(keyname);
    if (keyID == -1) {
        if (!create)
            return false;
        keyID = static_cast<long>(AddKeyName(std::move(keyname)));
    }
    const long valueID = FindValue(static_cast<unsigned>(keyID), valuename);
    key& section = keys[static_cast<size_t>(keyID)];
    if (valueID == -1) {
        if (!create)
            return false;
        section.names.push_back(std::move(valuename));
        section.values.push_back(std::move(value));
        return true;
    }
    section.values[static_cast<size_t>(valueID)] = std::move(value);
    return true;
}

std::string CIniFile::GetValue(std::string keyname, std::string valuename, std::string defValue) const {
    const long keyID = FindKey(std::move(keyname));
    if (keyID == -1)
        return defValue;
    const long valueID = FindValue(static_cast<unsigned>(keyID), std::move(valuename));
    if (valueID == -1)
        return defValue;
    return keys[static_cast<size_t>(keyID)].values[static_cast<size_t>(valueID)];
}

int CIniFile::GetValueI(std::string keyname, std::string valuename, int defValue) const {
    char text[16];
    std::snprintf(text, sizeof text, "%d", defValue);
    const std::string value = GetValue(std::move(keyname), std::move(valuename), text);
    // strtol reads a long; the result is brought into the int range the way strtol treats its own range.
    const long number = std::strtol(value.c_str(), nullptr, 10);
    if (number > INT_MAX)
        return INT_MAX;
    if (number < INT_MIN)
        return INT_MIN;
    return static_cast<int>(number);
}

bool CIniFile::GetValueB(std::string keyname, std::string valuename, bool defValue) const {
    return GetValueI(std::move(keyname), std::move(valuename), defValue ? 1 : 0) != 0;
}

void CIniFile::HeaderComment(std::string comment) { comments.push_back(std::move(comment)); }

bool CIniFile::KeyComment(unsigned keyID, std::string comment) {
    if (keyID >= keys.size())
        return false;
    keys[keyID].comments.push_back(std::move(comment));
    return true;
}

bool CIniFile::KeyComment(std::string keyname, std::string comment) {
    const long keyID = FindKey(std::move(keyname));
    if (keyID == -1)
        return false;
    return KeyComment(static_cast<unsigned>(keyID), std::move(comment));
}

bool CIniFile::ReadFile() {
    std::ifstream file(path, std::ios::in | std::ios::binary);
    if (!file.is_open())
        return false;

    std::string sectionName;
    std::string line;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        const unsigned char first = static_cast<unsigned char>(line[0]);
        if (first < 0x20 || first > 0x7E) {
            std::printf("Failing on char %d\n", static_cast<int>(static_cast<signed char>(line[0])));
            std::fflush(stdout);
            return false;
        }

        const size_t mark = line.find_first_of(";#[=");
        if (mark == std::string::npos)
            continue;
        switch (line[mark]) {
        case '[': {
            const size_t close = line.rfind(']');
            if (close == std::string::npos || close <= mark)
                break;
            sectionName = line.substr(mark + 1, close - mark - 1);
            AddKeyName(sectionName);
            break;
        }
        case '=':
            SetValue(sectionName, line.substr(0, mark), line.substr(mark + 1), true);
            break;
        default: {
            std::string comment = line.substr(mark + 1);
            if (names.empty())
                HeaderComment(std::move(comment));
            else
                KeyComment(sectionName, std::move(comment));
            break;
        }
        }
    }
    return !names.empty();
}
