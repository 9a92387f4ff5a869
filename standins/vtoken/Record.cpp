#include "Record.h"

#include <sstream>

#include "Encoding.h"
#include "common/utf/Utf.h"

namespace vtoken {

namespace {

const char kMagic[] = "ZVIT-VKEY 1";
// A hundred times what keys are made with: a record asking for more would
// hold every caller of the key for seconds per PIN.
constexpr uint32_t kMaxIterations = 100 * kPinIterations;

bool printableUtf8(const std::string& text)
{
    for (unsigned char c : text) {
        if (c < 0x20 || c == 0x7f)
            return false;
    }
    // Well-formed exactly when it converts: one UTF-8 rule for names and labels.
    std::u16string unused;
    return zvitutf::utf8ToUtf16(text, &unused);
}

std::string pinLine(const char* name, const PinSecret& pin)
{
    std::ostringstream out;
    out << name << ' ' << pin.iterations << ' ' << toHex(pin.salt) << ' ' << toHex(pin.hash) << ' '
        << pin.attemptsLeft << ' ' << pin.maxAttempts << '\n';
    return out.str();
}

std::vector<std::string> splitWords(const std::string& line)
{
    std::vector<std::string> words;
    size_t start = 0;
    for (;;) {
        size_t space = line.find(' ', start);
        words.push_back(line.substr(start, space - start));
        if (space == std::string::npos)
            break;
        start = space + 1;
    }
    return words;
}

// Decimal without sign, leading zeros or blanks, at most max.
bool parseNumber(const std::string& text, long max, long* value)
{
    if (text.empty() || text.size() > 10 || (text.size() > 1 && text[0] == '0'))
        return false;
    long result = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        result = result * 10 + (c - '0');
    }
    if (result > max)
        return false;
    *value = result;
    return true;
}

bool parseFlag(const std::string& text, bool* flag)
{
    if (text != "0" && text != "1")
        return false;
    *flag = text == "1";
    return true;
}

bool parseVersion(const std::string& text, uint8_t version[2])
{
    size_t dot = text.find('.');
    long major, minor;
    if (dot == std::string::npos || !parseNumber(text.substr(0, dot), 255, &major) ||
        !parseNumber(text.substr(dot + 1), 255, &minor))
        return false;
    version[0] = static_cast<uint8_t>(major);
    version[1] = static_cast<uint8_t>(minor);
    return true;
}

bool parsePin(const std::vector<std::string>& words, const char* name, PinSecret* pin)
{
    long iterations, left, max;
    if (words.size() != 6 || words[0] != name || !parseNumber(words[1], kMaxIterations, &iterations) ||
        iterations < 1 || !fromHex(words[2], &pin->salt) || pin->salt.size() != 16 ||
        !fromHex(words[3], &pin->hash) || pin->hash.size() != 32 || !parseNumber(words[4], kMaxAttempts, &left) ||
        !parseNumber(words[5], kMaxAttempts, &max) || max < 1 || left > max)
        return false;
    pin->iterations = static_cast<uint32_t>(iterations);
    pin->attemptsLeft = static_cast<int>(left);
    pin->maxAttempts = static_cast<int>(max);
    return true;
}

bool parseCert(const std::string& text, std::vector<uint8_t>* der)
{
    if (text == "-") {
        der->clear();
        return true;
    }
    return fromHex(text, der) && !der->empty() && der->size() <= kMaxCertLen;
}

bool parseText(const std::string& hex, size_t maxBytes, std::string* text)
{
    return fromHex(hex, text) && text->size() <= maxBytes && printableUtf8(*text);
}

}  // namespace

bool validSerial(const std::string& serial)
{
    if (serial.empty() || serial.size() > kMaxSerialLen)
        return false;
    for (char c : serial) {
        bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '-' || c == '_';
        if (!ok)
            return false;
    }
    return true;
}

bool validLabel(const std::string& label)
{
    return !label.empty() && label.size() <= kMaxLabelBytes && printableUtf8(label);
}

bool validContainerName(const std::string& name)
{
    return !name.empty() && name.size() <= kMaxContainerName && printableUtf8(name);
}

std::string deviceNameFor(const std::string& serial)
{
    return "ZVIT VKey " + serial;
}

std::string serializeRecord(const KeyRecord& r)
{
    std::ostringstream out;
    out << kMagic << '\n';
    out << "serial " << r.serial << '\n';
    out << "device-name " << toHex(r.deviceName) << '\n';
    out << "label " << toHex(r.label) << '\n';
    out << "manufacturer " << toHex(r.manufacturer) << '\n';
    out << "model " << toHex(r.model) << '\n';
    out << "versions " << int(r.hardwareVersion[0]) << '.' << int(r.hardwareVersion[1]) << ' '
        << int(r.firmwareVersion[0]) << '.' << int(r.firmwareVersion[1]) << '\n';
    out << pinLine("user-pin", r.userPin);
    out << pinLine("admin-pin", r.adminPin);
    out << "flags " << (r.pinChanged ? 1 : 0) << ' ' << (r.initialised ? 1 : 0) << '\n';
    out << "plugged " << (r.plugged ? 1 : 0) << ' ' << r.slot << '\n';
    out << "containers " << r.containers.size() << '\n';
    for (const Container& c : r.containers) {
        out << "container " << (c.type == KeyType::Sm2 ? "sm2" : "rsa") << ' ' << toHex(c.name) << ' '
            << (c.exchangeCert.empty() ? "-" : toHex(c.exchangeCert)) << ' '
            << (c.signatureCert.empty() ? "-" : toHex(c.signatureCert)) << '\n';
    }
    std::string body = out.str();
    return body + "checksum " + sha256Hex(body) + "\n";
}

Status parseRecord(const std::string& text, KeyRecord* record)
{
    // The checksum line covers every byte before it.
    size_t mark = text.rfind("checksum ");
    if (mark == std::string::npos || (mark > 0 && text[mark - 1] != '\n') || text.empty() || text.back() != '\n')
        return Status::Damaged;
    std::string body = text.substr(0, mark);
    if (text.substr(mark) != "checksum " + sha256Hex(body) + "\n")
        return Status::Damaged;

    std::vector<std::string> lines;
    size_t start = 0;
    while (start < body.size()) {
        size_t end = body.find('\n', start);
        lines.push_back(body.substr(start, end - start));
        start = end + 1;
    }
    if (lines.size() < 12 || lines[0] != kMagic)
        return Status::Damaged;

    KeyRecord r;
    auto words = [&](size_t i) { return splitWords(lines[i]); };
    std::vector<std::string> w = words(1);
    if (w.size() != 2 || w[0] != "serial" || !validSerial(w[1]))
        return Status::Damaged;
    r.serial = w[1];
    const struct {
        const char* name;
        size_t max;
        std::string* field;
    } texts[] = {{"device-name", 255, &r.deviceName},
                 {"label", kMaxLabelBytes, &r.label},
                 {"manufacturer", 32, &r.manufacturer},
                 {"model", 16, &r.model}};
    for (size_t i = 0; i < 4; ++i) {
        w = words(2 + i);
        if (w.size() != 2 || w[0] != texts[i].name || !parseText(w[1], texts[i].max, texts[i].field))
            return Status::Damaged;
    }
    if (r.deviceName.empty() || !validLabel(r.label))
        return Status::Damaged;
    w = words(6);
    if (w.size() != 3 || w[0] != "versions" || !parseVersion(w[1], r.hardwareVersion) ||
        !parseVersion(w[2], r.firmwareVersion))
        return Status::Damaged;
    if (!parsePin(words(7), "user-pin", &r.userPin) || !parsePin(words(8), "admin-pin", &r.adminPin))
        return Status::Damaged;
    w = words(9);
    if (w.size() != 3 || w[0] != "flags" || !parseFlag(w[1], &r.pinChanged) || !parseFlag(w[2], &r.initialised))
        return Status::Damaged;
    w = words(10);
    long slot = -1;
    if (w.size() != 3 || w[0] != "plugged" || !parseFlag(w[1], &r.plugged))
        return Status::Damaged;
    if (w[2] != "-1" && !parseNumber(w[2], kSlotCount - 1, &slot))
        return Status::Damaged;
    r.slot = static_cast<int>(slot);
    if (r.plugged != (r.slot >= 0))
        return Status::Damaged;
    w = words(11);
    long count;
    if (w.size() != 2 || w[0] != "containers" || !parseNumber(w[1], kMaxContainers, &count) ||
        lines.size() != 12 + static_cast<size_t>(count))
        return Status::Damaged;
    for (long i = 0; i < count; ++i) {
        w = words(12 + static_cast<size_t>(i));
        Container c;
        if (w.size() != 5 || w[0] != "container" || (w[1] != "rsa" && w[1] != "sm2") ||
            !parseText(w[2], kMaxContainerName, &c.name) || c.name.empty() || !parseCert(w[3], &c.exchangeCert) ||
            !parseCert(w[4], &c.signatureCert))
            return Status::Damaged;
        c.type = w[1] == "sm2" ? KeyType::Sm2 : KeyType::Rsa;
        r.containers.push_back(std::move(c));
    }
    *record = std::move(r);
    return Status::Ok;
}

}  // namespace vtoken
