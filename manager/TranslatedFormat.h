#pragma once
// Translations used as printf formats. A language file is outside input: a
// format is used only when its conversions match the arguments the caller
// passes, otherwise the text is shown as it stands.
#include <QString>

// kinds: one letter per argument in order: 's' const char*, 'd' int,
// 'l' long or unsigned long. The format may use a prefix of them.
bool formatFitsArguments(const QByteArray& format, const char* kinds);
QString formatTranslated(const QString& format, const char* kinds, ...);
