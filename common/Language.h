#pragma once
// Text keys turned into the text of the chosen language file. A key without a
// translation (or a missing file) shows as the key itself.
#include <QString>

#include "ZTCommonDef.h"

// Translation of key in the context "QObject". Safe from any thread: it reads
// the file into a private translator and never installs it in the application.
QString Language_LoadString(const QString& key, const char* languageFile);
// The same for the texts of one form or dialog (its translation context).
QString Language_LoadContextString(const char* context, const QString& key, const char* languageFile);
DWORD CharToQString(const char* utf8, QString& out);
