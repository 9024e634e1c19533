// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

namespace varlo {
class MessageSet;
}

namespace varlo::fleet {

// Names for what a panel holds, so that a publisher and an agent can tell
// whether they mean the same set: SHA-256, in lower-case hexadecimal.
//
// A set is named by the bytes of its message file as this program writes
// it, not by the bytes someone published: two files that read as the same
// 20 texts and speed codes are the same set. Run flags are not part of a
// message file, nor of the name. Publishers publish exactly those bytes, so
// the hash of what they publish is the set's name.
QString hashOfSet(const MessageSet &set);
// The name of what a panel shows after an upload of the set: its message
// file's name while every slot runs (the sets published), else a name of
// the file and the run flags together, so that a slot a schedule stops or
// starts is a change to upload.
QString hashOfShownSet(const MessageSet &set);
// A character generator table, or any payload, by its bytes.
QString hashOfBytes(QByteArrayView bytes);

} // namespace varlo::fleet
