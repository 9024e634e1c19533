// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace varlo::cli {

// varlo-cli probe: the port step alone; prints the port that answered.
int runProbe(const QStringList &arguments);

} // namespace varlo::cli
