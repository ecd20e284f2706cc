#pragma once

class QWidget;

// Shrinks a top-level window that is about to be shown to the available area
// of the screen it will appear on, never below its least size, so that a form
// made for a large screen keeps its buttons on a small one. A window that fits
// keeps its size.
void fitIntoScreen(QWidget *window);
