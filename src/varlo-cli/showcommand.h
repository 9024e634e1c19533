// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace varlo::cli {

// varlo-cli show: prints the slots of a message file, one line each.
int runShow(const QStringList &arguments);

} // namespace varlo::cli
