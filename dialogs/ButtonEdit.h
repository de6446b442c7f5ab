// A text box with a browse button at its right, as the path and text boxes of
// the dialogs have. The button is a tool button of its own, so Tab reaches it
// after the box and Space presses it.
#pragma once

class QAction;
class QLineEdit;
class QWidget;

// Creates the row of the box named name and its button; *button is the
// button's action (named name + "Button"), *edit the box.
QWidget *MakeButtonEdit(const char *name, QLineEdit **edit, QAction **button);
