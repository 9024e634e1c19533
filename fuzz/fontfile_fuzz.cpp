// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the .vlf font file reader. It must never crash or
// hang; a file it refuses is refused with a line that is in the file and a
// message that quotes little of it; a font it takes is written out and read
// back the same, and that text reads back to the same text.

#include "charset/fontfile.h"

#include "require.h"

#include <cstdint>

using namespace varlo;
using varlo::fuzz::require;
using varlo::fuzz::requireMessage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const FontFileRead read = readFontFile(bytes);

    for (const QString &warning : read.warnings)
        requireMessage(warning, "a warning");
    if (!read.font) {
        requireMessage(read.error, "the error of a refused font file");
        requireMessage(read.errorText(), "the error text of a refused font file");
        // Lines count from 1; the last may be an unfinished one without '\n'.
        require(read.errorLine >= 0 && read.errorLine <= bytes.count('\n') + 1, "an error on a line the file lacks");
        return 0;
    }
    require(read.error.isEmpty() && read.errorLine == 0, "an error for a font that was read");
    require(read.font->image().size() == FontTable::kImageBytes, "a character generator of the wrong size");

    const QByteArray written = fontFileText(*read.font);
    const FontFileRead again = readFontFile(written);
    require(again.font.has_value(), "a font written out does not read back");
    require(*again.font == *read.font, "a font written out reads back different");
    require(fontFileText(*again.font) == written, "a written font file reads back to another text");
    return 0;
}
