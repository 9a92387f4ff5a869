#pragma once
// Fixed-size windows sized from their content at the current fonts, DPI and
// scale factor, so no text is cut at 125 % or 200 %.
class QStatusBar;
class QTreeWidget;
class QWidget;

// Never smaller than the size the window had the first time (its designed
// size), grown to what its layout needs.
void fitToContent(QWidget* window);

// Texts that come after start (key names in the tree, status messages) become
// the minimum widths of their widgets and fitToContent runs again: a longer
// name grows the window, up to the screen, instead of being cut.
void fitToTexts(QWidget* window, QTreeWidget* tree, QStatusBar* status);
