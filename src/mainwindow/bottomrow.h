// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/portchoice.h"

#include <QObject>

class QComboBox;
class QImage;
class QLabel;
class QProgressBar;
class QPushButton;
class QSlider;
class QWidget;

namespace varlo {

// The main window's controls below the slot rows: the Max and Commu Delay
// labels over a rule, then Initial, the port box, the Commu Delay slider,
// the progress bar and Send. It keeps their sizes at the default font and
// makes what holds text larger when the font is.
class BottomRow : public QObject
{
    Q_OBJECT

public:
    explicit BottomRow(QWidget *parent);

    QPushButton *initial() const { return m_initial; }
    QPushButton *send() const { return m_send; }
    QComboBox *portBox() const { return m_portBox; }
    QSlider *commuDelaySlider() const { return m_commuDelaySlider; }
    QProgressBar *progress() const { return m_progress; }

    PortChoice chosenPort() const;
    // The Commu Delay label says the pause the slider's position gives.
    void showCommuDelay(int position);
    void showLamp(const QImage &picture);
    // Off while an upload runs.
    void setControlsEnabled(bool enabled);

    // The least width the row needs, and its height from the top of the
    // labels to the bottom of the buttons, at the controls' font.
    int neededWidth() const;
    int height() const;
    // Lays the row out in its parent from `top`, over `width`.
    void place(int top, int width);

private:
    struct Measures
    {
        int labelHeight;
        int maxLabelWidth;
        int initialWidth;
        int initialHeight;
        int portLeft;
        int portWidth;
        int portHeight;
        int sliderLeft;
        int progressLeft;
        int sendWidth;
        int sendHeight;
        // From the top of the labels to the rule.
        int aboveRule;
        int buttonsHeight;
    };
    Measures measure() const;

    QLabel *m_maxLabel = nullptr;
    QLabel *m_commuDelayLabel = nullptr;
    QWidget *m_rule = nullptr;
    QPushButton *m_initial = nullptr;
    QComboBox *m_portBox = nullptr;
    QSlider *m_commuDelaySlider = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_send = nullptr;
};

} // namespace varlo
