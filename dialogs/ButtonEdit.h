// A text box with a button at its right end, as the path and text boxes of
// the dialogs have: the button is an action inside the box.
#pragma once

class QAction;
class QLineEdit;
class QWidget;

// Creates the box named name and its button, named name + "Button".
QLineEdit *MakeButtonEdit(const char *name, QAction **button, QWidget *parent = nullptr);
