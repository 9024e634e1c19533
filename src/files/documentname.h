// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace varlo {

// The rules for the names of message files, with the platform's path
// separators: '/' on Linux; '/', '\' and ':' on Windows.
namespace documentname {

inline constexpr char kUntitled[] = "untitle.vlo";
inline constexpr char kExtension[] = ".vlo";
inline constexpr char kFilter[] = "*.vlo";

// The part after the last path separator.
QString fileNamePart(const QString &path);

// A document is untitled when the part after its last separator is empty or
// exactly "untitle.vlo" (case counts), whatever the folder.
bool isUntitled(const QString &path);

// A name without an extension gets ".vlo". The extension runs from the last
// dot, provided no separator follows it: "demo." has the extension "." and
// stays as it is; "/tmp/my.dir/demo" has none.
QString withDefaultExtension(const QString &path);

} // namespace documentname
} // namespace varlo
