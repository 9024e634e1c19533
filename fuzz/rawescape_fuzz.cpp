// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes as varlo-cli's --raw argument. A refused argument is
// refused at a byte it has, with a short message; an accepted one holds no
// zero byte; and what show --raw prints of the bytes is one line of plain
// ASCII that reads back as the same bytes.

#include "varlo-cli/messagetext.h"

#include "require.h"

#include <cstdint>

using namespace varlo;
using varlo::fuzz::require;
using varlo::fuzz::requireMessage;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray argument(reinterpret_cast<const char *>(data), qsizetype(size));
    // A command line's argument never holds a zero byte.
    if (argument.contains('\0'))
        return 0;

    const TextResult result = cli::markupFromRaw(argument);
    if (const TextError *error = std::get_if<TextError>(&result)) {
        requireMessage(error->message, "the error of a refused argument");
        require(error->column >= 1 && error->column <= argument.size(), "an error at a byte the argument lacks");
        require(argument[error->column - 1] == '\\', "an error that is not at a backslash");
        return 0;
    }
    const QByteArray &bytes = std::get<QByteArray>(result);
    require(!bytes.contains('\0'), "a zero byte in a slot's text");
    require(bytes.size() <= argument.size(), "more bytes than the argument had");

    const QString shown = cli::markupAsRaw(bytes);
    for (const QChar c : shown)
        require(c.unicode() >= 0x20 && c.unicode() < 0x7F && c != QLatin1Char('"'),
                "show --raw printed more than plain ASCII");
    const TextResult back = cli::markupFromRaw(shown.toLatin1());
    require(std::holds_alternative<QByteArray>(back) && std::get<QByteArray>(back) == bytes,
            "what show --raw prints does not read back as the same bytes");
    return 0;
}
