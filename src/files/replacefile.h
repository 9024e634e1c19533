// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QString>

namespace varlo {

// Puts the bytes in the file at the path in one step. They go to a new file
// in the same folder, which takes the old file's place only once every byte
// is on disk; any failure leaves the old file exactly as it was and no
// temporary file behind. A symbolic link is followed to the file it names
// (which is created when missing), so the link stays a link.
//
// Only a regular file is ever replaced: a folder, device, pipe or socket at
// the path is refused and left alone. A replaced file keeps its owner, group
// and mode (the owner only when the caller may give files away, as root may).
// Since the old file is replaced rather than written over, another hard link
// to it goes on showing the old contents.
//
// Returns an empty text on success, otherwise the reason, such as "No space
// left on device".
QString replaceFile(const QString &path, QByteArrayView bytes);

} // namespace varlo
