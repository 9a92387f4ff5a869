#pragma once
// What keyboard and screen reader users need from the main window: Return on
// a focused button presses it, the tree has a name, and a certificate node
// says which certificate it is.
#include <ctime>

class QTreeWidget;
class QTreeWidgetItem;
class QWidget;

// Every push button under root takes Return and Enter when focused (outside
// dialogs Qt leaves that off).
void pressFocusedButtonsOnReturn(QWidget* root);
void nameKeyTree(QTreeWidget* tree);
// Tool tip and accessible description: signature (even index) or exchange
// (odd index) certificate, and its expiry date. The text stays the name.
void describeCertificateNode(QTreeWidgetItem* node, int index, const struct tm& notAfter);
