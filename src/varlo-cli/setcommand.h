// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace varlo::cli {

// varlo-cli set FILE.vlo SLOT TEXT [--speed CODE] [--raw]
int runSet(const QStringList &arguments);

} // namespace varlo::cli
