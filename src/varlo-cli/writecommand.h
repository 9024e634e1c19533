// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace varlo::cli {

// varlo-cli write: makes a message file from texts given on the command line.
int runWrite(const QStringList &arguments);

} // namespace varlo::cli
