#include "OperationMessages.h"

#include <QRegularExpression>

#include "common/Language.h"
#include "TranslatedFormat.h"
#include "MessageBoxes.h"
#include "common/global_def_var.h"

QString localizedText(const char* key)
{
    return Language_LoadString(QString::fromLatin1(key), g_szLanguageQmFileName);
}

long showNoticeText(const QString& text, unsigned flags)
{
    QString body = text;
    QString title = QStringLiteral("MessageBox_Title_Notice");
    return DisplayMsg(&body, &title, flags, 0);
}

long showNotice(const char* textKey, unsigned flags)
{
    return showNoticeText(QString::fromLatin1(textKey), flags);
}

void reportPinDialog(PinDialogKind kind, uint32_t result, uint8_t pinCount)
{
    const PinReport report = pinDialogReport(kind, result);
    if (!report.textKey)
        return;
    if (report.success && kind != PinDialogKind::Verify)
        showNoticeText(formatTranslated(localizedText(report.textKey), "d", static_cast<int>(pinCount)), report.flags);
    else
        showNotice(report.textKey, report.flags);
}

QByteArray serialOfNodeText(const QString& text)
{
    const QRegularExpressionMatch match = QRegularExpression("\\((.*?)\\)").match(text);
    return match.hasMatch() ? match.captured(1).toUtf8() : QByteArray();
}
