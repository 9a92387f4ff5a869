#pragma once
// Texts of the dialogs in the language the programs use: the code in the
// language folder's Language.ini ("2052" when missing), or what the caller set
// with ZTUIEx_SetSysLangPath. No translator is installed in the application:
// the programs' own translations stay exactly as they set them.
#include <QString>
#include <QTranslator>
#include <memory>
#include <string>

namespace uiex {

// Folder (with final slash) and language code in effect now.
struct LanguageChoice {
    std::string folder;
    std::string code;
};
LanguageChoice currentLanguage();

class Texts
{
public:
    Texts();
    explicit Texts(const LanguageChoice& choice);
    ~Texts();

    // A text of this library's own dialogs.
    QString ui(const char* key) const;
    // A caller's translation key: the programs' language file first, then this
    // library's texts, else the key itself.
    QString message(const QByteArray& key) const;
    const std::string& code() const { return m_code; }

private:
    std::string m_code;
    std::unique_ptr<QTranslator> m_own;
    std::unique_ptr<QTranslator> m_programs;
};

}  // namespace uiex
