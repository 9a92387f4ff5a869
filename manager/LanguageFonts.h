#pragma once
// Texts in a script no installed font can draw show as boxes on every button;
// English can always be read.
#include <cstddef>

// languageFile: the chosen translation (".../2052.qm"). When no font has its
// script and the English one lies beside it, it is replaced by that; true then.
bool fallBackWithoutFont(char* languageFile, size_t size);
