#include "LanguageWidgets.h"

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>

void setLabelText(QLabel* label, const QString& key, const char* languageFile)
{
    if (label)
        label->setText(Language_LoadString(key, languageFile));
}

void setPushButtonText(QPushButton* button, const QString& key, const char* languageFile)
{
    if (button)
        button->setText(Language_LoadString(key, languageFile));
}

void setStatusBarText(QStatusBar* statusBar, const QString& key, const char* languageFile)
{
    if (statusBar)
        statusBar->showMessage(Language_LoadString(key, languageFile), 0);
}
