// SPDX-License-Identifier: GPL-3.0-or-later
#include "aboutandhelp/helpwindow.h"

#include <QPlainTextEdit>
#include <QStatusBar>

namespace varlo {

QStringList HelpWindow::guideLines()
{
    return {
        QStringLiteral("Guide :"),
        QString(),
        QStringLiteral("1. Easy Start:"),
        QString(),
        QStringLiteral("    Step 1:   Input Message Text in Edit Box."),
        QStringLiteral("    Step 2:   Connect Varlo Panel to COM port"),
        QStringLiteral("    Step 3:   Select Com Port to COM1 or COM2."),
        QStringLiteral("    Step 4:   Press Send Key , The messae you inputed send to varlo panel."),
        QString(),
        QStringLiteral("2.  About Speed:"),
        QString(),
        QStringLiteral("   Speed 1 = SLOW"),
        QStringLiteral("   Speed 2 = NORMAL"),
        QStringLiteral("   Speed 3 = FAST"),
        QStringLiteral("   Speed 4 = FASTER"),
        QStringLiteral("   Speed 5 = FASTEST"),
        QString(),
        QStringLiteral("3. About MSG RUN Select:"),
        QString(),
        QStringLiteral("  Use this function, you can select what message show now and to run "),
        QStringLiteral("message under your desired."),
        QString(),
        QStringLiteral("4. A picture occupy 2 bytes."),
        QStringLiteral("    "),
    };
}

HelpWindow::HelpWindow(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Form3"));
    setWindowTitle(QStringLiteral("Help..."));
    setModal(true);
    // 396 x 321 outside, less a usual frame.
    setFixedSize(388, 294);

    auto *memo = new QPlainTextEdit(this);
    memo->setObjectName(QStringLiteral("Memo1"));
    memo->setGeometry(0, 8, 385, 265);
    memo->setReadOnly(true);
    memo->setAccessibleName(tr("Help"));
    memo->setToolTip(tr("How to write and send the messages"));
    memo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    memo->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    memo->setPlainText(guideLines().join(QLatin1Char('\n')));

    auto *status = new QStatusBar(this);
    status->setObjectName(QStringLiteral("StatusBar1"));
    status->setSizeGripEnabled(false);
    status->setGeometry(0, height() - 19, width(), 19);
}

} // namespace varlo
