#include <cstdio>
#include <ostream>

#include "CertInfo.h"
#include "Report.h"
#include "Store.h"

namespace tarnvkey {

namespace {

std::string jsonText(const std::string& text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escaped[8];
            snprintf(escaped, sizeof(escaped), "\\u%04x", c);
            out += escaped;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

const char* typeName(vtoken::KeyType type)
{
    return type == vtoken::KeyType::Sm2 ? "sm2" : "rsa";
}

std::string jsonCert(const std::vector<uint8_t>& der)
{
    if (der.empty())
        return "null";
    return "{\"subject\": " + jsonText(vtoken::certificateSubject(der)) + ", \"bytes\": " +
           std::to_string(der.size()) + "}";
}

void printJson(std::ostream& out, const std::vector<vtoken::ListedKey>& keys)
{
    out << "[";
    for (size_t k = 0; k < keys.size(); ++k) {
        const vtoken::ListedKey& key = keys[k];
        out << (k ? ",\n " : "\n ") << "{\"serial\": " << jsonText(key.serial);
        if (key.status != vtoken::Status::Ok) {
            out << ", \"error\": " << jsonText(vtoken::statusText(key.status)) << "}";
            continue;
        }
        const vtoken::KeyRecord& r = key.record;
        out << ", \"label\": " << jsonText(r.label) << ", \"deviceName\": " << jsonText(r.deviceName)
            << ", \"plugged\": " << (r.plugged ? "true" : "false") << ", \"slot\": " << r.slot
            << ", \"attemptsLeft\": " << r.userPin.attemptsLeft << ", \"maxAttempts\": " << r.userPin.maxAttempts
            << ", \"pinChanged\": " << (r.pinChanged ? "true" : "false")
            << ", \"initialised\": " << (r.initialised ? "true" : "false") << ", \"containers\": [";
        for (size_t i = 0; i < r.containers.size(); ++i) {
            const vtoken::Container& c = r.containers[i];
            out << (i ? ", " : "") << "{\"name\": " << jsonText(c.name) << ", \"type\": \"" << typeName(c.type)
                << "\", \"exchange\": " << jsonCert(c.exchangeCert) << ", \"signature\": " << jsonCert(c.signatureCert)
                << "}";
        }
        out << "]}";
    }
    out << (keys.empty() ? "]\n" : "\n]\n");
}

void printText(std::ostream& out, const std::vector<vtoken::ListedKey>& keys, const std::string& folder)
{
    if (keys.empty()) {
        out << "no virtual keys in " << folder << '\n';
        return;
    }
    for (const vtoken::ListedKey& key : keys) {
        if (key.status != vtoken::Status::Ok) {
            out << key.serial << ": " << vtoken::statusText(key.status) << '\n';
            continue;
        }
        const vtoken::KeyRecord& r = key.record;
        out << r.serial << "  label \"" << r.label << "\"  ";
        if (r.plugged)
            out << "plugged in slot " << r.slot;
        else
            out << "unplugged";
        out << "  PIN attempts left " << r.userPin.attemptsLeft << '/' << r.userPin.maxAttempts << "  PIN "
            << (r.pinChanged ? "changed" : "not changed") << "  " << (r.initialised ? "initialised" : "not initialised")
            << '\n';
        for (const vtoken::Container& c : r.containers) {
            out << "    container \"" << c.name << "\" (" << typeName(c.type) << ")\n";
            if (!c.exchangeCert.empty())
                out << "        exchange:  " << vtoken::certificateSubject(c.exchangeCert) << '\n';
            if (!c.signatureCert.empty())
                out << "        signature: " << vtoken::certificateSubject(c.signatureCert) << '\n';
        }
    }
}

}  // namespace

int runList(Context& context)
{
    ParsedArgs args;
    int code;
    if (!parseCommand(context, "list", 0, {}, {"json"}, &args, &code))
        return code;
    std::vector<vtoken::ListedKey> keys = vtoken::Store(context.storeFolder).list();
    if (args.flags.count("json"))
        printJson(*context.out, keys);
    else
        printText(*context.out, keys, context.storeFolder);
    return kExitOk;
}

}  // namespace tarnvkey
