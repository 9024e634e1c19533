// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QPixmap>
#include <QWidget>

namespace varlo {

// The Preview's board: a part of a picture, centred on the palette's window
// colour. The picture is shared, not copied, and showing
// another part of it repaints only the part's place: a step of a scroll
// costs one copy at the next paint, where giving a label a new pixmap would
// also allocate one and lay the window out again.
class LedDisplay : public QWidget
{
    Q_OBJECT

public:
    explicit LedDisplay(QWidget *parent = nullptr);

    // Shows `part` of `source`, in the source's device pixels.
    void showPart(const QPixmap &source, const QRect &part);
    bool isEmpty() const { return m_source.isNull(); }
    // What it shows, as a pixmap of its own.
    QPixmap pixmap() const { return m_source.copy(m_part); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QRect placeOfPart() const;

    QPixmap m_source;
    QRect m_part;
};

} // namespace varlo
