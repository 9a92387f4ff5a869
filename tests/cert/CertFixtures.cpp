#include "CertFixtures.h"

#include <dirent.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>

#include "TestRoot.h"

namespace {
std::string trim(const std::string& s)
{
    size_t b = s.find_first_not_of(" \t");
    size_t e = s.find_last_not_of(" \t\r");
    return b == std::string::npos ? std::string() : s.substr(b, e - b + 1);
}

std::string afterColon(const std::string& line)
{
    size_t pos = line.find(':');
    return pos == std::string::npos ? std::string() : trim(line.substr(pos + 1));
}

// Hex of the indented "aa:bb:" lines that follow line i.
std::string hexBlock(const std::vector<std::string>& lines, size_t i)
{
    std::string hex;
    for (size_t j = i + 1; j < lines.size(); ++j) {
        std::string t = trim(lines[j]);
        if (t.empty() || t.find_first_not_of("0123456789abcdef:") != std::string::npos)
            break;
        for (char c : t)
            if (c != ':')
                hex.push_back(static_cast<char>(toupper(static_cast<unsigned char>(c))));
    }
    return hex;
}

std::string stripLeadingZeroBytes(std::string hex)
{
    while (hex.size() > 2 && hex.compare(0, 2, "00") == 0)
        hex.erase(0, 2);
    return hex;
}

// openssl's "C = CN, O = \"Bank, Ltd\"" into "C=CN, O=Bank\, Ltd": quoted
// values lose their quotes and get the decoder's backslash escapes.
std::string ourNameForm(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text.compare(i, 3, " = ") == 0) {
            out += '=';
            i += 2;
            if (i + 1 < text.size() && text[i + 1] == '"') {
                for (i += 2; i < text.size() && text[i] != '"'; ++i) {
                    char c = text[i];
                    if (c == '\\' && i + 1 < text.size())
                        c = text[++i];
                    if (std::strchr(",=+<>#;\"\\", c))
                        out += '\\';
                    out += c;
                }
            }
            continue;
        }
        out += text[i];
    }
    return out;
}
}  // namespace

std::string fixturePath(const std::string& file)
{
    return std::string(ZVIT_CERT_FIXTURE_DIR) + "/" + file;
}

std::string fixtureDer(const std::string& name)
{
    std::string data = readFile(fixturePath(name + ".der"));
    EXPECT_FALSE(data.empty()) << name;
    return data;
}

std::vector<std::string> fixtureNames()
{
    std::vector<std::string> names;
    if (DIR* dir = opendir(ZVIT_CERT_FIXTURE_DIR)) {
        while (dirent* entry = readdir(dir)) {
            std::string file = entry->d_name;
            if (file.size() > 4 && file.compare(file.size() - 4, 4, ".der") == 0)
                names.push_back(file.substr(0, file.size() - 4));
        }
        closedir(dir);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string normaliseSerial(const std::string& hex)
{
    std::string out;
    for (char c : hex)
        if (c != ':')
            out.push_back(static_cast<char>(toupper(static_cast<unsigned char>(c))));
    size_t first = out.find_first_not_of('0');
    return first == std::string::npos ? "0" : out.substr(first);
}

OpensslView opensslView(const std::string& name)
{
    OpensslView view;
    std::istringstream in(readFile(fixturePath(name + ".txt")));
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string t = trim(lines[i]);
        if (t.rfind("Version:", 0) == 0) {
            view.version = atoi(afterColon(t).c_str());
        } else if (t.rfind("Serial Number:", 0) == 0) {
            std::string rest = afterColon(t);
            size_t paren = rest.find("(0x");
            if (paren != std::string::npos)
                view.serialHex = normaliseSerial(rest.substr(paren + 3, rest.find(')') - paren - 3));
            else
                view.serialHex = normaliseSerial(hexBlock(lines, i));
        } else if (t.rfind("Signature Algorithm:", 0) == 0 && view.sigAlg.empty()) {
            view.sigAlg = afterColon(t);
        } else if (t.rfind("Issuer:", 0) == 0) {
            view.issuer = ourNameForm(afterColon(t));
        } else if (t.rfind("Subject:", 0) == 0) {
            view.subject = ourNameForm(afterColon(t));
        } else if (t.rfind("Not Before:", 0) == 0) {
            view.notBefore = afterColon(t);
        } else if (t.rfind("Not After :", 0) == 0) {
            view.notAfter = afterColon(t);
        } else if (t.rfind("Modulus:", 0) == 0) {
            view.modulusHex = stripLeadingZeroBytes(hexBlock(lines, i));
        } else if (t.rfind("Exponent:", 0) == 0) {
            view.exponent = strtoul(afterColon(t).c_str(), nullptr, 10);
        } else if (t.rfind("pub:", 0) == 0 && view.pointHex.empty()) {
            std::string point = hexBlock(lines, i);
            view.pointHex = point.size() > 2 ? point.substr(2) : point;
        }
    }
    return view;
}

std::string utc8TextOf(const std::string& opensslTime)
{
    struct tm t;
    std::memset(&t, 0, sizeof t);
    const char* end = strptime(opensslTime.c_str(), "%b %d %H:%M:%S %Y GMT", &t);
    EXPECT_NE(end, nullptr) << opensslTime;
    time_t seconds = timegm(&t) + 8 * 3600;
    struct tm local;
    gmtime_r(&seconds, &local);
    char buf[64];
    snprintf(buf, sizeof buf, " %d-%d-%d %d:%d:%d\n", local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
             local.tm_hour, local.tm_min, local.tm_sec);
    return buf;
}
