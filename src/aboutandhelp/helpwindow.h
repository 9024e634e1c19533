// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QDialog>
#include <QStringList>

namespace varlo {

// The Help window, the program's third form: a short user guide in a
// read-only text box. Created hidden at start-up and kept until exit;
// closing only hides it.
class HelpWindow : public QDialog
{
    Q_OBJECT

public:
    // The guide, line by line, worded and spaced exactly as it always was.
    static QStringList guideLines();

    explicit HelpWindow(QWidget *parent = nullptr);
};

} // namespace varlo
