// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutandhelp/aboutbox.h"

#include <QLabel>
#include <QPushButton>

namespace varlo {

AboutBox::AboutBox(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    // 341 x 200 outside, less a usual frame.
    setFixedSize(333, 173);

    auto *label = new QLabel(QString::fromLatin1(kText), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->move(64, 40);
    label->adjustSize();

    auto *ok = new QPushButton(tr("&OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setGeometry(136, 112, 75, 25);
    ok->setDefault(true);
    ok->setToolTip(tr("Close this box"));
    connect(ok, &QPushButton::clicked, this, &AboutBox::okClicked);
}

void AboutBox::okClicked()
{
    accept();
}

} // namespace varlo
