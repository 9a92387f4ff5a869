#pragma once
// Fixed-size windows sized from their content at the current fonts, DPI and
// scale factor, so no text is cut at 125 % or 200 %.
class QStatusBar;
class QTableWidget;
class QTreeWidget;
class QWidget;

// Never smaller than the size the window had the first time (its designed
// size), grown to what its layout needs.
void fitToContent(QWidget* window);

// Texts that come after start (key names in the tree, status messages) become
// the minimum widths of their widgets and fitToContent runs again: a longer
// name grows the window, up to the screen, instead of being cut.
void fitToTexts(QWidget* window, QTreeWidget* tree, QStatusBar* status);

// For windows the user may resize: the same start size, with the layout's
// minimum left as the limit.
void growToContent(QWidget* window);

// The table's columns take the width of their texts and the table asks the
// window for it, up to most of the screen. A column whose values are shown
// whole elsewhere (elidedColumn) keeps only its header's width.
void fitTableToTexts(QTableWidget* table, int elidedColumn = -1);
