// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

namespace varlo {
class MessageSet;
}

namespace varlo::fleet {

// Names for what a panel holds, so that a publisher and an agent can tell
// whether they mean the same set: SHA-256, in lower-case hexadecimal.
//
// A set is named by the bytes of its message file as this program writes
// it, not by the bytes someone published: two files that read as the same
// 20 texts and speed codes (one with bytes left after its END, say) are the
// same set. Run flags are not part of a message file, nor of the name.
QString hashOfSet(const MessageSet &set);
// The same for message file bytes; nothing for bytes that don't read as a
// whole message file.
std::optional<QString> hashOfSetFile(QByteArrayView fileBytes);
// A character generator table, or any payload, by its bytes.
QString hashOfBytes(QByteArrayView bytes);

} // namespace varlo::fleet
