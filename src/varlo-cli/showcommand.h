// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/panelcharmap.h"
#include "model/messageset.h"

#include <QStringList>

namespace varlo::cli {

// varlo-cli show: prints the slots of a message file, one line each.
int runShow(const QStringList &arguments);

// The line show prints for a slot, line end included:
// "A    4    3  \"HI~H\"": letter, speed code, cells with a mark past what
// the panel holds, and the text between double quotes, through the map or
// with raw as \xNN escapes.
QString slotLine(const MessageSet &set, int slot, bool raw, const PanelCharMap &map);

} // namespace varlo::cli
