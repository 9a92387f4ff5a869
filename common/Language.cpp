#include "Language.h"

#include <QTranslator>

QString Language_LoadString(const QString& key, const char* languageFile)
{
    return Language_LoadContextString("QObject", key, languageFile);
}

QString Language_LoadContextString(const char* context, const QString& key, const char* languageFile)
{
    QTranslator translator;
    if (languageFile)
        translator.load(QString::fromUtf8(languageFile), QString(), QString(), QString());
    const QByteArray utf8 = key.toUtf8();
    QString text = translator.translate(context, utf8.constData(), nullptr, -1);
    return text.isEmpty() ? key : text;
}

DWORD CharToQString(const char* utf8, QString& out)
{
    out = QString::fromUtf8(utf8 ? utf8 : "");
    return 0;
}
