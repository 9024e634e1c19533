// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/bottomrow.h"

#include "link/messageupload.h"
#include "supportpictures/supportfiles.h"

#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

#include <algorithm>

namespace varlo {

namespace {

// The row's places at the default font, in pixels at 96 dpi.
constexpr int kLeft = 8;
// Between the controls of the row.
constexpr int kGap = 12;
constexpr int kSliderWidth = 150;
constexpr int kSliderHeight = 28;
constexpr int kProgressWidth = 169;
constexpr int kProgressHeight = 12;
// Between the rule and the buttons.
constexpr int kBelowRule = 10;

int textWidth(const QWidget *widget, const QString &text)
{
    return widget->fontMetrics().horizontalAdvance(text);
}

int lineHeight(const QWidget *widget)
{
    return widget->fontMetrics().height();
}

} // namespace

BottomRow::BottomRow(QWidget *parent)
    : QObject(parent)
{
    m_maxLabel = new QLabel(QStringLiteral(" Max  120 X 20 = 2400 chars"), parent);
    m_maxLabel->setObjectName(QStringLiteral("Label8"));

    m_commuDelayLabel = new QLabel(parent);
    m_commuDelayLabel->setObjectName(QStringLiteral("Label9"));
    showCommuDelay(0);

    auto *rule = new QFrame(parent);
    rule->setObjectName(QStringLiteral("Bevel1"));
    rule->setFrameShape(QFrame::HLine);
    rule->setFrameShadow(QFrame::Sunken);
    m_rule = rule;

    m_initial = new QPushButton(tr("Initial"), parent);
    m_initial->setObjectName(QStringLiteral("suiButton1"));
    m_initial->setStatusTip(tr("Load the panel's two fonts"));
    m_initial->setToolTip(m_initial->statusTip());

    m_portBox = new QComboBox(parent);
    m_portBox->setObjectName(QStringLiteral("ComboBox3"));
    m_portBox->addItem(QStringLiteral("AUTO"));
    for (int port = 1; port <= 13; ++port)
        m_portBox->addItem(QStringLiteral("COM %1").arg(port));
    m_portBox->setCurrentIndex(0);
    m_portBox->setAccessibleName(tr("Serial port"));
    m_portBox->setToolTip(tr("The panel's serial port; AUTO tries each port until the panel answers"));

    m_commuDelaySlider = new QSlider(Qt::Horizontal, parent);
    m_commuDelaySlider->setObjectName(QStringLiteral("suiTrackBar1"));
    m_commuDelaySlider->setRange(0, upload::kMaxCommuDelayPosition);
    m_commuDelaySlider->setSingleStep(1);
    m_commuDelaySlider->setPageStep(2);
    m_commuDelaySlider->setTickPosition(QSlider::TicksBelow);
    m_commuDelaySlider->setTickInterval(1);
    m_commuDelaySlider->setValue(0);
    m_commuDelaySlider->setAccessibleName(tr("Commu Delay"));
    m_commuDelaySlider->setToolTip(tr("The pause between the steps of Send, for a slow panel"));

    m_progress = new QProgressBar(parent);
    m_progress->setObjectName(QStringLiteral("ProgressBar1"));
    m_progress->setRange(0, upload::kProgressMaximum);
    m_progress->setValue(0);
    m_progress->setTextVisible(true);
    m_progress->setFormat(QStringLiteral("%p%"));
    m_progress->setAlignment(Qt::AlignCenter);
    QFont small = m_progress->font();
    small.setPixelSize(10);
    m_progress->setFont(small);

    m_send = new QPushButton(tr("Send"), parent);
    m_send->setObjectName(QStringLiteral("Send"));
    m_send->setStatusTip(tr("Send the messages to the panel"));
    m_send->setToolTip(tr("Send the messages to the panel; the lamp shows how the last upload went"));
    // The window's own lamp, green, until an upload shows one from the files.
    showLamp(SupportFiles::builtInPicture(SupportFiles::LampGreen));
    m_send->setIconSize(QSize(16, 16));
}

PortChoice BottomRow::chosenPort() const
{
    return PortChoice::fromPortBoxIndex(m_portBox->currentIndex());
}

void BottomRow::showCommuDelay(int position)
{
    m_commuDelayLabel->setText(QStringLiteral("Commu Delay: %1 ms").arg(position * upload::kCommuDelayUnitMs));
}

void BottomRow::showLamp(const QImage &picture)
{
    m_send->setIcon(QPixmap::fromImage(picture));
}

void BottomRow::setControlsEnabled(bool enabled)
{
    for (QWidget *control : std::initializer_list<QWidget *>{m_initial, m_portBox, m_commuDelaySlider, m_send})
        control->setEnabled(enabled);
}

BottomRow::Measures BottomRow::measure() const
{
    // Each control keeps its size at the default font and grows only where
    // its text needs more (its advance and a line's height in its own font,
    // with room for its frame); the ones to its right move along.
    Measures m{};
    m.labelHeight = std::max(18, lineHeight(m_maxLabel) + 2);
    m.maxLabelWidth = textWidth(m_maxLabel, m_maxLabel->text()) + 4;
    m.initialWidth = std::max(80, textWidth(m_initial, m_initial->text()) + 24);
    m.initialHeight = std::max(27, lineHeight(m_initial) + 10);
    m.portLeft = kLeft + m.initialWidth + kGap;
    // The widest item, the arrow and the frame, as the style measures them.
    m.portWidth = std::max(84, m_portBox->sizeHint().width());
    m.portHeight = std::max(25, lineHeight(m_portBox) + 8);
    m.sliderLeft = std::max({196, m.portLeft + m.portWidth + kGap, kLeft + m.maxLabelWidth + kLeft});
    m.progressLeft = m.sliderLeft + kSliderWidth + kGap;
    m.sendWidth = std::max(75, textWidth(m_send, m_send->text()) + m_send->iconSize().width() + 28);
    m.sendHeight = std::max(25, lineHeight(m_send) + 8);
    m.aboveRule = std::max(28, 6 + m.labelHeight + 4);
    m.buttonsHeight = std::max({m.initialHeight, m.portHeight + 1, kSliderHeight, m.sendHeight + 1});
    return m;
}

int BottomRow::neededWidth() const
{
    const Measures m = measure();
    return m.progressLeft + kProgressWidth + 14 + m.sendWidth + kLeft;
}

int BottomRow::height() const
{
    const Measures m = measure();
    return m.aboveRule + kBelowRule + m.buttonsHeight;
}

void BottomRow::place(int top, int width)
{
    const Measures m = measure();
    const int buttonsTop = top + m.aboveRule + kBelowRule;
    m_maxLabel->setGeometry(kLeft, top + 6, std::max(200, m.maxLabelWidth), m.labelHeight);
    m_commuDelayLabel->setGeometry(
        m.sliderLeft, top + 6, std::max(160, textWidth(m_commuDelayLabel, QStringLiteral("Commu Delay: 1000 ms")) + 4),
        m.labelHeight);
    m_rule->setGeometry(kLeft, top + m.aboveRule, width - 2 * kLeft, 2);
    m_initial->setGeometry(kLeft, buttonsTop, m.initialWidth, m.initialHeight);
    m_portBox->setGeometry(m.portLeft, buttonsTop + 1, m.portWidth, m.portHeight);
    m_commuDelaySlider->setGeometry(m.sliderLeft, buttonsTop, kSliderWidth, kSliderHeight);
    m_progress->setGeometry(m.progressLeft, buttonsTop + 8, kProgressWidth, kProgressHeight);
    m_send->setGeometry(width - kLeft - m.sendWidth, buttonsTop + 1, m.sendWidth, m.sendHeight);
}

} // namespace varlo
