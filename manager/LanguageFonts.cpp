#include "LanguageFonts.h"

#include <QDir>
#include <QFileInfo>
#include <cstring>

#include "common/ScriptFonts.h"

bool fallBackWithoutFont(char* languageFile, size_t size)
{
    if (!languageFile)
        return false;
    const QFileInfo file(QString::fromUtf8(languageFile));
    if (fontsDrawLanguage(file.completeBaseName()))
        return false;
    const QByteArray english = QFileInfo(file.dir(), QStringLiteral("1033.qm")).filePath().toUtf8();
    if (!QFileInfo::exists(QString::fromUtf8(english)) || static_cast<size_t>(english.size()) >= size)
        return false;
    std::memcpy(languageFile, english.constData(), english.size() + 1);
    return true;
}
