// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace varlo::cli {

// varlo-cli send: uploads messages given on the command line or in a file.
int runSend(const QStringList &arguments);

} // namespace varlo::cli
