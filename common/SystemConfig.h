#pragma once
// Installation paths, language choice and configuration reads.
#include "ZTCommonDef.h"

#define ZT_CONFIG_FILE "ConfigFile/Config.ini"
#define ZT_LANGUAGE_DIR "Languages/"
#define ZT_LANGUAGE_INI "Language.ini"

DWORD initSystemPath(char* languageDirPath, char* configFilePath);
DWORD getLanguageDirPath(char* buffer);
DWORD getConfigFilePath(char* buffer);
int getLanguageFileName(char* buffer);
int setDefaultLanguage(const char* languageCode);
DWORD readConfigFile();
DWORD GetUserIDString(char* buffer);
