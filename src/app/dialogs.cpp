// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace varlo {

void WidgetDialogs::showMessage(QWidget *parent, const QString &text, const QString &detail)
{
    QMessageBox box(parent);
    box.setWindowTitle(QApplication::applicationDisplayName());
    box.setIcon(QMessageBox::NoIcon);
    box.setText(text);
    box.setInformativeText(detail);
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

bool WidgetDialogs::confirm(QWidget *parent, const QString &title, const QString &text)
{
    QMessageBox box(QMessageBox::Question, title, text,
                    QMessageBox::Ok | QMessageBox::Cancel, parent);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

namespace {

QString runFileDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &filter,
                      const QString &name)
{
    QFileDialog dialog(parent);
    dialog.setAcceptMode(mode);
    // The chosen file need not exist: Open then reports it, Save creates it.
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setNameFilter(filter);
    // No default suffix: the window applies its own extension rule.
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!name.isEmpty())
        dialog.selectFile(name);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

} // namespace

QString WidgetDialogs::openFileName(QWidget *parent, const QString &filter,
                                    const QString &remembered)
{
    return runFileDialog(parent, QFileDialog::AcceptOpen, filter, remembered);
}

QString WidgetDialogs::saveFileName(QWidget *parent, const QString &filter,
                                    const QString &preset)
{
    return runFileDialog(parent, QFileDialog::AcceptSave, filter, preset);
}

} // namespace varlo
