#pragma once
// Texts in a script no installed font can draw show as boxes on every button.
// Header only: the programs and the UI stand-in decide alike.
#include <QFontDatabase>
#include <QString>

// False when the language ("2052", "1028") has a script of its own and no
// installed font draws it.
inline bool fontsDrawLanguage(const QString& code)
{
    const QFontDatabase::WritingSystem system = code == QLatin1String("2052")   ? QFontDatabase::SimplifiedChinese
                                                : code == QLatin1String("1028") ? QFontDatabase::TraditionalChinese
                                                                                : QFontDatabase::Any;
    return system == QFontDatabase::Any || !QFontDatabase().families(system).isEmpty();
}
