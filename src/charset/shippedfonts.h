// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace varlo {

// A font file that comes with Varlo, by the name the window offers it under.
struct ShippedFont
{
    QString name; // the file name without .vlf: "cyrillic"
    QString path;

    bool operator==(const ShippedFont &other) const = default;
};

// The folders the shipped fonts are in, those that exist, the first the one
// to prefer: beside a program run from its build folder, the source tree's
// fonts/; beside an installed one, <prefix>/share/varlo/fonts; then varlo/fonts
// in every data folder ($XDG_DATA_HOME, $XDG_DATA_DIRS: /usr/local/share,
// /usr/share).
QStringList shippedFontFolders(const QString &executableDir);
// The .vlf files of the folders, sorted by name; a name found twice is the
// first folder's.
QList<ShippedFont> shippedFonts(const QStringList &folders);

} // namespace varlo
