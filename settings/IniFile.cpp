#include "settings/IniFile.h"

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <utility>

CIniFile::CIniFile(std::string iniPath) : caseInsensitive(true) {
    Path(std::move(iniPath));
}

void CIniFile::Path(std::string newPath) {
    path = std::move(newPath);
}

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
    const auto found = keyIndex.find(CheckCase(std::move(keyname)));
    return found == keyIndex.end() ? -1 : found->second;
}

long CIniFile::FindValue(unsigned keyID, std::string valuename) const {
    if (keyID >= keys.size() || keys[keyID].names.empty())
        return -1;
    const auto found = valueIndex.find(EntryName{static_cast<long>(keyID), CheckCase(std::move(valuename))});
    return found == valueIndex.end() ? -1 : found->second;
}

unsigned CIniFile::AddKeyName(std::string keyname) {
    AddSection(std::move(keyname));
    return static_cast<unsigned>(names.size() - 1);
}

long CIniFile::AddSection(std::string keyname) {
    const long keyID = static_cast<long>(names.size());
    // A repeated name is stored again, but lookups keep finding its first occurrence.
    const long firstID = keyIndex.emplace(CheckCase(keyname), keyID).first->second;
    names.push_back(std::move(keyname));
    keys.emplace_back();
    return firstID;
}

void CIniFile::StoreValue(long keyID, std::string name, std::string value) {
    key& section = keys[static_cast<size_t>(keyID)];
    const auto stored =
        valueIndex.emplace(EntryName{keyID, CheckCase(name)}, static_cast<long>(section.names.size()));
    if (!stored.second) {
        section.values[static_cast<size_t>(stored.first->second)] = std::move(value);
        return;
    }
    section.names.push_back(std::move(name));
    section.values.push_back(std::move(value));
}

bool CIniFile::SetValue(std::string keyname, std::string valuename, std::string value, bool create) {
    long keyID = FindKey(keyname);
    if (keyID == -1) {
        if (!create)
            return false;
        keyID = static_cast<long>(AddKeyName(std::move(keyname)));
    }
    if (!create && FindValue(static_cast<unsigned>(keyID), valuename) == -1)
        return false;
    StoreValue(keyID, std::move(valuename), std::move(value));
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

void CIniFile::HeaderComment(std::string comment) {
    comments.push_back(std::move(comment));
}

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

    stoppedAtLine = 0;
    std::string sectionName;
    // Entries go to the first section of the current name (-1 while there is none), found once per header.
    long sectionID = FindKey(sectionName);
    // The whole file is taken in one read and cut into lines, each ending at a line feed.
    std::string line;
    long lineNumber = 0;
    while (std::getline(file, line)) {
        ++lineNumber;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        const unsigned char first = static_cast<unsigned char>(line[0]);
        if (first < 0x20 || first > 0x7E) {
            std::printf("Failing on char %d\n", static_cast<int>(static_cast<signed char>(line[0])));
            std::fflush(stdout);
            // The whole file is set aside for one character, so the user is told where it is.
            stoppedAtLine = lineNumber;
            std::fprintf(stderr,
                         "Kestrune: the INI file \"%s\" is not used: line %ld begins with a tab or a byte "
                         "that is not printable ASCII (code %d).\n",
                         path.c_str(), lineNumber, static_cast<int>(static_cast<signed char>(line[0])));
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
            sectionID = AddSection(sectionName);
            break;
        }
        case '=':
            if (sectionID == -1)
                sectionID = static_cast<long>(AddKeyName(sectionName));
            StoreValue(sectionID, line.substr(0, mark), line.substr(mark + 1));
            break;
        default: {
            std::string comment = line.substr(mark + 1);
            if (names.empty())
                HeaderComment(std::move(comment));
            else if (sectionID != -1)
                KeyComment(static_cast<unsigned>(sectionID), std::move(comment));
            break;
        }
        }
    }
    return !names.empty();
}
