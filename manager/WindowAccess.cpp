#include "WindowAccess.h"

#include <QPushButton>
#include <QTreeWidget>

#include "common/Language.h"
#include "common/global_def_var.h"

namespace {

QString text(const char* key)
{
    return Language_LoadString(QString::fromLatin1(key), g_szLanguageQmFileName);
}

}  // namespace

void pressFocusedButtonsOnReturn(QWidget* root)
{
    for (QPushButton* button : root->findChildren<QPushButton*>())
        button->setAutoDefault(true);
}

void nameKeyTree(QTreeWidget* tree)
{
    tree->setAccessibleName(text("A11y_KeyTree"));
    tree->setAccessibleDescription(text("A11y_KeyTree_Help"));
}

void describeCertificateNode(QTreeWidgetItem* node, int index, const struct tm& notAfter)
{
    // A container's exchange certificate has the odd index, its signature one the even.
    const char* key = index % 2 == 0 ? "Cert_Node_Signature" : "Cert_Node_Exchange";
    const QString expiry = QStringLiteral("%1-%2-%3")
                               .arg(notAfter.tm_year)
                               .arg(notAfter.tm_mon, 2, 10, QLatin1Char('0'))
                               .arg(notAfter.tm_mday, 2, 10, QLatin1Char('0'));
    const QString description = text(key).arg(expiry);
    node->setToolTip(0, description);
    node->setData(0, Qt::AccessibleDescriptionRole, description);
}
