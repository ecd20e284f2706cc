#pragma once

class QDialog;
class QSize;
class QWidget;

// Keeps a dialog's frame, and so its buttons, within the available area of
// the screen it appears on. Each time the dialog is shown, before QDialog
// centres it, it shrinks to the room its screen leaves, never below its least
// size; a dialog that fits keeps its size. Qt itself shrinks only windows
// that were never resized, and a form sized by its .ui file was. A window
// manager frames a window only once it is mapped, so the first window of a
// process shows with a frame nobody knew: once the frame is known, the dialog
// is fitted again and moved into the area.
void keepOnScreen(QDialog *dialog);

// Resizes a top-level window to `size`, or less where its screen leaves less
// room, never below its least size; a shown window is then moved for its
// frame to lie within the available area. On Wayland a shown window does not
// grow: the compositor keeps its top left and tells no client where that is.
void resizeWithinScreen(QWidget *window, const QSize &size);
