// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fonttable.h"

#include <QWidget>

#include <array>

namespace varlo {

// One glyph drawn large, 8 columns by 7 rows of LED dots, to be edited:
// a click lights or darkens a dot and a drag goes on doing the same to the
// dots it passes; the arrow keys move the cursor and Space flips the dot
// under it. Every change is reported by `edited` with the whole glyph and
// the stroke it belongs to (one number from a press to its release, 0 for a
// key); the owner decides what to keep (and calls setColumns).
class GlyphEdit : public QWidget
{
    Q_OBJECT

public:
    using Columns = std::array<quint8, FontTable::kGlyphBytes>;

    explicit GlyphEdit(QWidget *parent = nullptr);

    void setColumns(const Columns &columns);
    const Columns &columns() const { return m_columns; }
    QPoint cursor() const { return m_cursor; }
    // The middle of the dot at column x, row y, in widget coordinates.
    QPoint dotCentre(int x, int y) const;

    QSize sizeHint() const override;

signals:
    void edited(const varlo::GlyphEdit::Columns &columns, int stroke);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    int pitch() const;
    // The dot under the point, or (-1, -1).
    QPoint dotAt(QPointF point) const;
    void setDot(QPoint dot, bool lit, int stroke);
    bool lit(QPoint dot) const { return (m_columns[size_t(dot.x())] >> dot.y()) & 1; }

    Columns m_columns{};
    QPoint m_cursor{0, 0};
    bool m_dragLights = true; // what a drag does to the dots it passes
    int m_stroke = 0; // the stroke the mouse is drawing, 0 between strokes
    int m_lastStroke = 0;
};

} // namespace varlo
