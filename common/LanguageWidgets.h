#pragma once
// Localized texts put on widgets, and whole generated forms retranslated from
// the chosen language file. GUI thread only.
#include <QCoreApplication>
#include <QString>
#include <QTranslator>

#include "Language.h"

class QLabel;
class QPushButton;
class QStatusBar;

void setLabelText(QLabel* label, const QString& key, const char* languageFile);
void setPushButtonText(QPushButton* button, const QString& key, const char* languageFile);
void setStatusBarText(QStatusBar* statusBar, const QString& key, const char* languageFile);

namespace zvit_language_detail {
// A form's retranslateUi() translates through the application, so the
// translator is installed for the length of that one call.
template <typename Form, typename Window>
unsigned long applyForm(Form* form, void (Form::*retranslate)(Window*), Window* window, const char* languageFile)
{
    QTranslator translator;
    if (!form || !window || !languageFile ||
        !translator.load(QString::fromUtf8(languageFile), QString(), QString(), QString()))
        return ZT_ERR_LANG_OR_PININFO;
    QCoreApplication::installTranslator(&translator);
    (form->*retranslate)(window);
    QCoreApplication::removeTranslator(&translator);
    return 0;
}
}  // namespace zvit_language_detail

template <typename Form, typename Dialog>
unsigned long Language_SetDialogStr(Form* form, void (Form::*retranslate)(Dialog*), Dialog* dialog,
                                    const char* languageFile)
{
    return zvit_language_detail::applyForm(form, retranslate, dialog, languageFile);
}

template <typename Form, typename MainWindow>
unsigned long Language_SetMainWindowStr(Form* form, void (Form::*retranslate)(MainWindow*), MainWindow* window,
                                        const char* languageFile)
{
    return zvit_language_detail::applyForm(form, retranslate, window, languageFile);
}
