// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace varlo::cli {

// varlo-cli font: loads two fonts into the panel (Initial), the font in use,
// the built-in ones or those of a .vlf font file, or writes them as a font
// file.
int runFont(const QStringList &arguments);

} // namespace varlo::cli
