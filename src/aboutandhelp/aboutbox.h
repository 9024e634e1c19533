// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>

namespace varlo {

// The About window: title and version, and an OK button. Created hidden at
// start-up and kept until exit; closing only hides it.
class TForm2 : public QDialog
{
    Q_OBJECT

public:
    static constexpr const char *kText = "VARLO PANEL CONTROLLER ,    VER 3.00";

    explicit TForm2(QWidget *parent = nullptr);

    void Button1Click();
};

} // namespace varlo
