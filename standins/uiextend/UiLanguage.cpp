#include "UiLanguage.h"

#include <QFile>

#include "IniFile.h"
#include "common/ScriptFonts.h"
#include "StandinRoot.h"
#include "UiContext.h"

namespace uiex {
namespace {

const char kContext[] = "ZTUIExtend";
const char kDefaultCode[] = "2052";
// Dialogs in a language we have no texts for are better in English than in keys.
const char kFallbackCode[] = "1033";

bool validCode(const std::string& code)
{
    if (code.empty() || code.size() > 8)
        return false;
    for (char c : code)
        if (c < '0' || c > '9')
            return false;
    return true;
}

std::string withSlash(std::string folder)
{
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    return folder;
}

std::string codeFromIni(const std::string& folder)
{
    std::string value;
    if (ztini::readValue(folder + "Language.ini", "LanguageDefaultSetting", "language", &value) ==
            ztini::Status::Ok &&
        validCode(value))
        return value;
    return kDefaultCode;
}

// Texts no installed font can draw would be boxes: English instead.
std::string readableCode(const std::string& code)
{
    return fontsDrawLanguage(QString::fromStdString(code)) ? code : kFallbackCode;
}

std::string ownFile(const std::string& code)
{
    return ":/ztuiextend/ztuiextend_" + code + ".qm";
}

}  // namespace

LanguageChoice currentLanguage()
{
    LanguageChoice choice;
    std::string path = languagePath();
    const std::string suffix = ".qm";
    if (path.size() > suffix.size() && path.compare(path.size() - suffix.size(), suffix.size(), suffix) == 0) {
        // A translation file: its name is the language code.
        size_t slash = path.rfind('/');
        std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
        choice.folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
        choice.code = name.substr(0, name.size() - suffix.size());
        if (!validCode(choice.code))
            choice.code = kDefaultCode;
        return choice;
    }
    choice.folder = path.empty() ? ztStandinRoot() + "Languages/" : withSlash(path);
    choice.code = codeFromIni(choice.folder);
    return choice;
}

Texts::Texts() : Texts(currentLanguage()) {}

Texts::Texts(const LanguageChoice& choice) : m_code(readableCode(choice.code))
{
    m_own.reset(new QTranslator);
    if (!m_own->load(QString::fromStdString(ownFile(m_code)))) {
        m_own.reset(new QTranslator);
        m_own->load(QString::fromStdString(ownFile(kFallbackCode)));
    }
    m_programs.reset(new QTranslator);
    m_programs->load(QString::fromStdString(choice.folder + m_code + ".qm"));
}

Texts::~Texts() = default;

QString Texts::ui(const char* key) const
{
    QString text = m_own->translate(kContext, key);
    return text.isEmpty() ? QString::fromUtf8(key) : text;
}

QString Texts::message(const QByteArray& key) const
{
    QString text = m_programs->translate("QObject", key.constData());
    if (text.isEmpty())
        text = m_own->translate(kContext, key.constData());
    return text.isEmpty() ? QString::fromUtf8(key) : text;
}

}  // namespace uiex
