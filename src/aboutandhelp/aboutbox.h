// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace varlo {

// The About window, the program's second form: title and version, and an OK
// button. Created hidden at start-up and kept until exit; closing only hides
// it.
class AboutBox : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char *kText = "VARLO PANEL CONTROLLER ,    VER 3.00";

    explicit AboutBox(QWidget *parent = nullptr);

    // Closes the box, which only hides it.
    void okClicked();
};

} // namespace varlo
