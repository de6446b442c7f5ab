// The About box, reached only through the hot key.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

class TAboutBox : public QDialog {
    Q_OBJECT
public:
    explicit TAboutBox(QWidget *parent = nullptr);

    QLabel *ProgramIcon, *Label1, *Label2, *Version, *Copyright, *Comments;
    QPushButton *OKButton;

    static const char *const CommentsUrl;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
};
