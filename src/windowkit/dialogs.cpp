// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowkit/dialogs.h"

#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QPointer>

namespace varlo {

// Each box and dialog is a child of its window, made on the heap and watched:
// should the window be destroyed while the box is open, the box goes with it
// and exec() returns (with Cancel), and it must not be deleted a second time.

namespace {

QString runFileDialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &filter, const QString &name)
{
    const QPointer<QFileDialog> dialog = new QFileDialog(parent);
    dialog->setAcceptMode(mode);
    // The chosen file need not exist: Open then reports it, Save creates it.
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilter(filter);
    // No default suffix: the window applies its own extension rule.
    dialog->setOption(QFileDialog::DontConfirmOverwrite);
    if (!name.isEmpty())
        dialog->selectFile(name);
    const bool accepted = dialog->exec() == QDialog::Accepted;
    const QStringList files = dialog ? dialog->selectedFiles() : QStringList();
    delete dialog;
    return accepted && !files.isEmpty() ? files.constFirst() : QString();
}

} // namespace

void WidgetDialogs::showMessage(QWidget *parent, const QString &text, const QString &detail)
{
    const QPointer<QMessageBox> box = new QMessageBox(parent);
    box->setWindowTitle(QStringLiteral("Varlo"));
    // Every message of the windows reports something that went wrong.
    box->setIcon(QMessageBox::Warning);
    box->setText(text);
    box->setInformativeText(detail);
    box->setStandardButtons(QMessageBox::Ok);
    box->exec();
    delete box;
}

bool WidgetDialogs::confirm(QWidget *parent, const QString &title, const QString &text)
{
    const QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Question, title, text, QMessageBox::Ok | QMessageBox::Cancel, parent);
    box->setDefaultButton(QMessageBox::Ok);
    box->setEscapeButton(QMessageBox::Cancel);
    const bool ok = box->exec() == QMessageBox::Ok;
    delete box;
    return ok;
}

Dialogs::SaveChoice WidgetDialogs::askSaveChanges(QWidget *parent, const QString &title, const QString &text)
{
    const QPointer<QMessageBox> box = new QMessageBox(
        QMessageBox::Warning, title, text, QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, parent);
    box->setDefaultButton(QMessageBox::Save);
    // The window's close button and Esc both answer Cancel: nothing happens.
    box->setEscapeButton(QMessageBox::Cancel);
    const int answer = box->exec();
    delete box;
    switch (answer) {
    case QMessageBox::Save:
        return SaveChoice::Save;
    case QMessageBox::Discard:
        return SaveChoice::Discard;
    default:
        return SaveChoice::Cancel;
    }
}

bool WidgetDialogs::askRestore(QWidget *parent, const QString &title, const QString &text)
{
    const QPointer<QMessageBox> box =
        new QMessageBox(QMessageBox::Question, title, text, QMessageBox::NoButton, parent);
    QPushButton *restore = box->addButton(QObject::tr("&Restore"), QMessageBox::AcceptRole);
    box->addButton(QObject::tr("&Discard"), QMessageBox::DestructiveRole);
    box->setDefaultButton(restore);
    box->setEscapeButton(restore);
    box->exec();
    const bool restored = !box || box->clickedButton() == restore || !box->clickedButton();
    delete box;
    return restored;
}

QString WidgetDialogs::openFileName(QWidget *parent, const QString &filter, const QString &remembered)
{
    return runFileDialog(parent, QFileDialog::AcceptOpen, filter, remembered);
}

QString WidgetDialogs::saveFileName(QWidget *parent, const QString &filter, const QString &preset)
{
    return runFileDialog(parent, QFileDialog::AcceptSave, filter, preset);
}

int WidgetDialogs::chooseItem(QWidget *parent, const QString &title, const QString &label, const QStringList &items,
                              int current)
{
    const QPointer<QInputDialog> dialog = new QInputDialog(parent);
    dialog->setWindowTitle(title);
    dialog->setLabelText(label);
    dialog->setComboBoxItems(items);
    dialog->setComboBoxEditable(false);
    // A list, all of it in sight, rather than a box that folds it away.
    dialog->setOption(QInputDialog::UseListViewForComboBoxItems);
    if (current >= 0 && current < items.size())
        dialog->setTextValue(items.at(current));
    const bool accepted = dialog->exec() == QDialog::Accepted;
    const int chosen = accepted && dialog ? int(items.indexOf(dialog->textValue())) : -1;
    delete dialog;
    return chosen;
}

bool WidgetDialogs::runDialog(QDialog *dialog)
{
    const QPointer<QDialog> watched = dialog;
    const bool accepted = dialog->exec() == QDialog::Accepted;
    return accepted && watched;
}

} // namespace varlo
