// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace varlo::cli {

// varlo-cli panels: every panel with a status on an MQTT broker, one line
// each.
int runPanels(const QStringList &arguments);

} // namespace varlo::cli
