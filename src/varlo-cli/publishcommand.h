// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QStringList>

namespace varlo::cli {

// varlo-cli publish: a message file (or one slot's text) to panels and
// groups on an MQTT broker, followed until each panel says it holds it.
int runPublish(const QStringList &arguments);

} // namespace varlo::cli
