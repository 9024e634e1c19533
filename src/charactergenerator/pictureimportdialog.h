// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charactergenerator/pictureglyphs.h"

#include <QDialog>

class QCheckBox;
class QLabel;
class QSlider;

namespace varlo {

// Import Picture: the picture as it will become glyphs, from `firstCode`
// on, with a threshold slider (`threshold`) and a check box for a light
// drawing on a dark ground (`lightIsLit`); the dots are shown as they
// change, before OK takes them. A picture wider than the codes left up to
// 255 is cut there, and the dialog says so.
class PictureImportDialog : public QDialog
{
    Q_OBJECT

public:
    PictureImportDialog(const QImage &picture, quint8 firstCode, QWidget *parent = nullptr);

    // The glyphs for firstCode, firstCode + 1, ... as the controls stand.
    const std::vector<PictureGlyphs::Columns> &glyphs() const { return m_glyphs; }

private:
    void showGlyphs();

    QImage m_scaled;
    quint8 m_firstCode;
    std::vector<PictureGlyphs::Columns> m_glyphs;
    QSlider *m_threshold = nullptr;
    QCheckBox *m_lightIsLit = nullptr;
    QLabel *m_dots = nullptr;
    QLabel *m_codes = nullptr;
};

} // namespace varlo
