// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace varlo::cli {

// varlo-cli schedule check: what a schedule file puts on the panel, at an
// instant or over a day.
int runSchedule(const QStringList &arguments);

} // namespace varlo::cli
