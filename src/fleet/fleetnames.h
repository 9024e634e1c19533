// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>

namespace varlo::fleet::names {

// Panel and group names are topic levels and Home Assistant ids as well,
// so they are kept to letters, digits, '-' and '_'. Every program checks
// them here: the agent's --name and --group, the publishers' --panel and
// --group, the Publish dialog's fields and the topics an agent is sent.
inline constexpr int kMaxNameLength = 64;

// Empty when the name can be a panel or group name, else why not.
QString nameProblem(const QString &name);
// The first problem of the names, or an empty text.
QString namesProblem(const QStringList &names);

// The slot (0 for A to 19 for T) of a one-letter text, or -1. A slot topic
// takes capitals only (varlo/panel/NAME/slot/C); a person at a command line
// may type either case.
int slotOfLetter(QStringView letter, Qt::CaseSensitivity sensitivity = Qt::CaseSensitive);

} // namespace varlo::fleet::names
