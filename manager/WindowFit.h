#pragma once
// Fixed-size windows sized from their content at the current fonts, DPI and
// scale factor, so no text is cut at 125 % or 200 %.
class QWidget;

// Never smaller than the size the window had the first time (its designed
// size), grown to what its layout needs.
void fitToContent(QWidget* window);
