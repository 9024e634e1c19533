// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace varlo::cli {

// varlo-cli font: loads the two built-in fonts into the panel (Initial).
int runFont(const QStringList &arguments);

} // namespace varlo::cli
