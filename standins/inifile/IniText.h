#pragma once
// Ini text as lines, edited without disturbing anything but the one key:
// comments, blank lines, other keys, the BOM and each line's ending stay.
// Section and key names match case-insensitively (ASCII), as ini files have
// always been read on the maker's side.
#include <string>
#include <vector>

namespace ztini {

class IniText
{
public:
    explicit IniText(const std::string& content);

    // First value of key in the first section of that name that holds it.
    bool find(const std::string& section, const std::string& key, std::string* value) const;
    // Replaces the first occurrence or adds the key (and section) when missing.
    void set(const std::string& section, const std::string& key, const std::string& value);
    // Key names of every section of that name, in file order, without repeats.
    std::vector<std::string> keys(const std::string& section) const;
    bool hasSection(const std::string& section) const;
    std::string content() const;

private:
    struct Line {
        std::string text;  // without ending
        std::string ending;  // "\n", "\r\n" or "" for a last line without one
    };
    enum class Kind { Other, Section, Key };
    Kind classify(size_t index, std::string* name, std::string* value) const;

    std::string m_bom;
    std::vector<Line> m_lines;
    std::string m_newline = "\n";
};

// True when the names and value can be written so that they read back the same.
bool validSection(const std::string& section);
bool validKey(const std::string& key);
bool validValue(const std::string& value);

}  // namespace ztini
