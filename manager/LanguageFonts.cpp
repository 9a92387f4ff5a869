#include "LanguageFonts.h"

#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <cstring>

namespace {

struct Script {
    const char* code;
    QFontDatabase::WritingSystem system;
};
const Script kScripts[] = {
    {"2052", QFontDatabase::SimplifiedChinese},
    {"1028", QFontDatabase::TraditionalChinese},
};

}  // namespace

bool fallBackWithoutFont(char* languageFile, size_t size)
{
    if (!languageFile)
        return false;
    const QFileInfo file(QString::fromUtf8(languageFile));
    for (const Script& script : kScripts) {
        if (file.completeBaseName() != QLatin1String(script.code))
            continue;
        if (!QFontDatabase().families(script.system).isEmpty())
            return false;
        const QByteArray english = QFileInfo(file.dir(), QStringLiteral("1033.qm")).filePath().toUtf8();
        if (!QFileInfo::exists(QString::fromUtf8(english)) || static_cast<size_t>(english.size()) >= size)
            return false;
        std::memcpy(languageFile, english.constData(), english.size() + 1);
        return true;
    }
    return false;
}
