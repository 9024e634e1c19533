// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fontfile.h"
#include "display/ledrenderer.h"

#include <QImage>
#include <QRawFont>
#include <QString>

namespace varlo {

// A proof of a font: each glyph in both faces beside its label set in an
// ordinary typeface, with its code in hex, so that a drawing which is not the
// character its label names stands out when read letter by letter.
struct ProofSheet
{
    int pitch = 6; // pixels between dot centres
    int firstCode = 0;
    int lastCode = 255;
    QString title;
    // The typeface of the labels and codes, loaded from its file so that the
    // proof is the same picture on every machine. A label character the
    // typeface lacks is written as U+XXXX instead of being left to whatever
    // fallback font the machine has.
    QRawFont typeface;
};

// The glyph in all 8 of its columns, as the sheets draw it.
DotMatrix glyphDots(const FontFile &font, FontTable::Font face, quint8 code);

// Empty when the typeface could not be loaded.
QRawFont loadProofTypeface(const QString &path);

QImage paintProofSheet(const FontFile &font, const ProofSheet &proof);

} // namespace varlo
