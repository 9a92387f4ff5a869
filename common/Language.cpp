#include "Language.h"

#include <QTranslator>

QString Language_LoadString(const QString& key, const char* languageFile)
{
    QTranslator translator;
    if (languageFile)
        translator.load(QString::fromUtf8(languageFile), QString(), QString(), QString());
    const QByteArray utf8 = key.toUtf8();
    QString text = translator.translate("QObject", utf8.constData(), nullptr, -1);
    return text.isEmpty() ? key : text;
}

DWORD CharToQString(const char* utf8, QString& out)
{
    out = QString::fromUtf8(utf8 ? utf8 : "");
    return 0;
}
