#include "app/uAbout.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QStyle>
#include <QUrl>
#include <QVBoxLayout>

const char *const TAboutBox::CommentsUrl = "https://velmora.example/";

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint)
{
    setWindowTitle(QStringLiteral("About"));
    auto *panel = new QFrame;
    panel->setFrameShape(QFrame::Panel);
    panel->setFrameShadow(QFrame::Raised);

    ProgramIcon = new QLabel;
    ProgramIcon->setPixmap(style()->standardIcon(QStyle::SP_ComputerIcon).pixmap(32, 32));
    Label1 = new QLabel(QStringLiteral("舞台字幕编辑系统"));
    Label2 = new QLabel(QStringLiteral("Velmora"));
    Version = new QLabel(QStringLiteral("版本 1.0"));
    Copyright = new QLabel(QStringLiteral("Copyright © 2026 Velmora"));
    Comments = new QLabel(QString::fromLatin1(CommentsUrl));
    Comments->setCursor(Qt::PointingHandCursor);
    Comments->installEventFilter(this);

    auto *texts = new QVBoxLayout;
    for (QLabel *l : {Label1, Label2, Version, Copyright, Comments})
        texts->addWidget(l);
    auto *panelLayout = new QHBoxLayout(panel);
    panelLayout->addWidget(ProgramIcon, 0, Qt::AlignTop);
    panelLayout->addLayout(texts);

    OKButton = new QPushButton(QStringLiteral("关闭(&C)"));
    OKButton->setDefault(true);
    connect(OKButton, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(panel);
    layout->addWidget(OKButton, 0, Qt::AlignHCenter);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool TAboutBox::eventFilter(QObject *watched, QEvent *event)
{
    // Errors of the link (no browser) are not reported.
    if (watched == Comments && event->type() == QEvent::MouseButtonRelease)
        QDesktopServices::openUrl(QUrl(QString::fromLatin1(CommentsUrl)));
    return QDialog::eventFilter(watched, event);
}
