#include "IniText.h"

#include <algorithm>
#include <cctype>

namespace ztini {

namespace {

const char kBom[] = "\xEF\xBB\xBF";

bool isBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\v' || c == '\f' || c == '\r';
}

std::string trim(const std::string& text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && isBlank(text[begin]))
        ++begin;
    while (end > begin && isBlank(text[end - 1]))
        --end;
    return text.substr(begin, end - begin);
}

bool sameName(const std::string& a, const std::string& b)
{
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return tolower(static_cast<unsigned char>(x)) == tolower(static_cast<unsigned char>(y));
           });
}

bool hasLineBreak(const std::string& text)
{
    return text.find_first_of("\r\n") != std::string::npos || text.find('\0') != std::string::npos;
}

}  // namespace

bool validSection(const std::string& section)
{
    return !section.empty() && !hasLineBreak(section) && section.find(']') == std::string::npos &&
           trim(section) == section;
}

bool validKey(const std::string& key)
{
    return !key.empty() && !hasLineBreak(key) && key.find('=') == std::string::npos && trim(key) == key &&
           key[0] != ';' && key[0] != '#' && key[0] != '[';
}

bool validValue(const std::string& value)
{
    return !hasLineBreak(value) && trim(value) == value;
}

IniText::IniText(const std::string& content)
{
    size_t pos = 0;
    if (content.compare(0, 3, kBom) == 0) {
        m_bom = kBom;
        pos = 3;
    }
    bool endingSeen = false;
    while (pos < content.size()) {
        size_t newline = content.find('\n', pos);
        Line line;
        if (newline == std::string::npos) {
            line.text = content.substr(pos);
            pos = content.size();
        } else {
            line.text = content.substr(pos, newline - pos);
            line.ending = "\n";
            if (!line.text.empty() && line.text.back() == '\r') {
                line.text.pop_back();
                line.ending = "\r\n";
            }
            pos = newline + 1;
            // New lines follow the file's own convention.
            if (!endingSeen)
                m_newline = line.ending;
            endingSeen = true;
        }
        m_lines.push_back(std::move(line));
    }
}

IniText::Kind IniText::classify(size_t index, std::string* name, std::string* value) const
{
    std::string line = trim(m_lines[index].text);
    if (line.empty() || line[0] == ';' || line[0] == '#')
        return Kind::Other;
    if (line[0] == '[') {
        size_t close = line.find(']');
        if (close == std::string::npos)
            return Kind::Other;
        *name = trim(line.substr(1, close - 1));
        return Kind::Section;
    }
    size_t equals = line.find('=');
    if (equals == std::string::npos)
        return Kind::Other;
    *name = trim(line.substr(0, equals));
    *value = trim(line.substr(equals + 1));
    return name->empty() ? Kind::Other : Kind::Key;
}

bool IniText::find(const std::string& section, const std::string& key, std::string* value) const
{
    bool inSection = section.empty();  // "" reads the keys before the first section
    std::string name, text;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        Kind kind = classify(i, &name, &text);
        if (kind == Kind::Section)
            inSection = sameName(name, section);
        else if (kind == Kind::Key && inSection && sameName(name, key)) {
            if (value)
                *value = text;
            return true;
        }
    }
    return false;
}

std::vector<std::string> IniText::keys(const std::string& section) const
{
    std::vector<std::string> result;
    bool inSection = section.empty();
    std::string name, text;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        Kind kind = classify(i, &name, &text);
        if (kind == Kind::Section)
            inSection = sameName(name, section);
        else if (kind == Kind::Key && inSection &&
                 std::none_of(result.begin(), result.end(), [&](const std::string& k) { return sameName(k, name); }))
            result.push_back(name);
    }
    return result;
}

bool IniText::hasSection(const std::string& section) const
{
    std::string name, text;
    for (size_t i = 0; i < m_lines.size(); ++i)
        if (classify(i, &name, &text) == Kind::Section && sameName(name, section))
            return true;
    return false;
}

void IniText::set(const std::string& section, const std::string& key, const std::string& value)
{
    bool inSection = false, inFirst = false, sectionFound = false;
    size_t insertAfter = 0;  // last key or header line of the first matching section
    std::string name, text;
    for (size_t i = 0; i < m_lines.size(); ++i) {
        Kind kind = classify(i, &name, &text);
        if (kind == Kind::Section) {
            inSection = sameName(name, section);
            inFirst = inSection && !sectionFound;
            if (inFirst) {
                sectionFound = true;
                insertAfter = i;
            }
        } else if (kind == Kind::Key && inSection) {
            if (sameName(name, key)) {
                // Keep the line's indentation and the key's spelling.
                const std::string& old = m_lines[i].text;
                size_t equals = old.find('=');
                size_t valueStart = equals + 1;
                while (valueStart < old.size() && isBlank(old[valueStart]))
                    ++valueStart;
                m_lines[i].text = old.substr(0, valueStart) + value;
                return;
            }
            if (inFirst)
                insertAfter = i;
        }
    }
    if (!m_lines.empty() && m_lines.back().ending.empty())
        m_lines.back().ending = m_newline;
    if (sectionFound) {
        m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(insertAfter) + 1,
                       Line{key + "=" + value, m_newline});
        return;
    }
    if (!m_lines.empty() && !trim(m_lines.back().text).empty())
        m_lines.push_back(Line{"", m_newline});
    m_lines.push_back(Line{"[" + section + "]", m_newline});
    m_lines.push_back(Line{key + "=" + value, m_newline});
}

std::string IniText::content() const
{
    std::string out = m_bom;
    for (const Line& line : m_lines)
        out += line.text + line.ending;
    return out;
}

}  // namespace ztini
