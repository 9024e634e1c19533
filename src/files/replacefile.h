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
// the path is refused and left alone, and so is a file its owner made
// read-only ("The file is read-only", also for root), one the caller may
// not write, and the program's own standard input, output or error. A
// replaced file keeps its owner, group and mode (the owner only when the
// caller may give files away, as root may).
//
// Past a file size limit the save fails with "File too large": the first
// save sets SIGXFSZ to be ignored, unless the program handles it itself.
// Since the old file is replaced rather than written over, another hard link
// to it goes on showing the old contents.
//
// Returns an empty text on success, otherwise the reason, such as "No space
// left on device".
QString replaceFile(const QString &path, QByteArrayView bytes);

} // namespace varlo
