#pragma once
// Texts a user cannot read whole: labels, buttons, check boxes, tabs, tree and
// table items whose text, measured with the widget's own font and the style's
// margins, is wider (or, wrapped, taller) than the room the widget gives it.
#include <QString>
#include <QStringList>

class QWidget;

// One line per cut text under window (window included): object name and text.
QStringList cutTexts(QWidget* window);

// When the scaled-display wrapper set ZVIT_TEST_EXPECT_DPI, the window must
// really see that DPI; a run that silently fell back to 96 proves nothing.
void expectWrapperDpi(QWidget* window);

// When ZVIT_TEST_SHOTS names a folder, the screen with window on it is saved
// there as name.png, for a person to look at.
void shootIfAsked(QWidget* window, const QString& name);
