#pragma once

#include <string>
#include <unordered_map>
#include <vector>

// An in-memory copy of a file of '[section]' lines and 'name=value' entries, read once and answered with
// defaults. Here a key is a section and a value is an entry of a section; both are addressed by index
// (key id, value id), -1 meaning not found. Names are kept exactly as read and compared without ASCII case;
// a repeated name is stored again, and lookups take the first match. Nothing is ever written to disk.
class CIniFile {
public:
    struct key {
        std::vector<std::string> names;
        std::vector<std::string> values;
        std::vector<std::string> comments;
    };

    explicit CIniFile(std::string iniPath);
    virtual ~CIniFile() = default;

    void Path(std::string newPath);
    // Adds the file's sections and entries to what the object holds. False when the file cannot be opened,
    // when a line starts with a byte that is not printable ASCII (reading stops there, after a message on
    // standard output and one on standard error naming the line), or when the object holds no section
    // afterwards. Reading takes time in proportion to the file's size.
    bool ReadFile();
    // The number (from 1) of the line that stopped the last ReadFile, 0 when none did.
    long StoppedAtLine() const { return stoppedAtLine; }

    long FindKey(std::string keyname) const;
    long FindValue(unsigned keyID, std::string valuename) const;
    unsigned AddKeyName(std::string keyname);
    bool SetValue(std::string keyname, std::string valuename, std::string value, bool create = true);

    std::string GetValue(std::string keyname, std::string valuename, std::string defValue = "") const;
    // The entry read as strtol reads base-10 text: a value that is not a number gives 0, not the default.
    int GetValueI(std::string keyname, std::string valuename, int defValue = 0) const;
    // True when GetValueI is not 0.
    bool GetValueB(std::string keyname, std::string valuename, bool defValue = false) const;

    void HeaderComment(std::string comment);
    bool KeyComment(unsigned keyID, std::string comment);
    bool KeyComment(std::string keyname, std::string comment);

    // Read access for inspection; the layout is the one the file had.
    unsigned NumKeys() const { return static_cast<unsigned>(names.size()); }
    const std::vector<std::string>& HeaderComments() const { return comments; }
    const key* Key(unsigned keyID) const { return keyID < keys.size() ? &keys[keyID] : nullptr; }

private:
    std::string CheckCase(std::string s) const;
    // Adds a section as AddKeyName does and returns the key id of the first section of that name.
    long AddSection(std::string keyname);
    // Adds or replaces an entry of an existing section; name is the entry's name as read.
    void StoreValue(long keyID, std::string name, std::string value);

    // An entry name as compared, within the section of that key id.
    struct EntryName {
        long keyID;
        std::string folded;
        bool operator==(const EntryName& other) const {
            return keyID == other.keyID && folded == other.folded;
        }
    };
    struct EntryNameHash {
        size_t operator()(const EntryName& name) const {
            return std::hash<std::string>()(name.folded) ^
                   (static_cast<size_t>(name.keyID) * 0x9E3779B97F4A7C15u);
        }
    };

    bool caseInsensitive;
    std::string path;
    std::vector<key> keys;
    std::vector<std::string> names;
    std::vector<std::string> comments;
    // Each section name as compared, with the key id of its first occurrence, and each entry name as
    // compared with the value id of its first occurrence: lookups take constant time, whatever the size.
    std::unordered_map<std::string, long> keyIndex;
    std::unordered_map<EntryName, long, EntryNameHash> valueIndex;
    long stoppedAtLine = 0;
};
