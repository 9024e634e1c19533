// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutandhelp/aboutbox.h"

#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace varlo {

AboutBox::AboutBox(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form2"));
    setWindowTitle(QStringLiteral("About"));
    setModal(true);
    // 341 x 200 outside, less a usual frame, at the default font.

    auto *label = new QLabel(QString::fromLatin1(kText), this);
    label->setObjectName(QStringLiteral("Label1"));
    label->move(64, 40);
    label->adjustSize();

    auto *ok = new QPushButton(tr("&OK"), this);
    ok->setObjectName(QStringLiteral("Button1"));
    ok->setDefault(true);
    // The places and sizes at the default font; a larger one widens the box
    // around its text and moves the button below it.
    const QFontMetrics metrics = ok->fontMetrics();
    const int width = std::max(333, label->geometry().right() + 1 + 8);
    const int okWidth = std::max(75, metrics.horizontalAdvance(QStringLiteral("OK")) + 24);
    const int okHeight = std::max(25, metrics.height() + 10);
    const int okTop = std::max(112, label->geometry().bottom() + 1 + 40);
    ok->setGeometry(136 + (width - 333) / 2 - (okWidth - 75) / 2, okTop, okWidth, okHeight);
    setFixedSize(width, std::max(173, okTop + okHeight + 36));
    ok->setToolTip(tr("Close this box"));
    connect(ok, &QPushButton::clicked, this, &AboutBox::okClicked);
}

void AboutBox::okClicked()
{
    accept();
}

} // namespace varlo
