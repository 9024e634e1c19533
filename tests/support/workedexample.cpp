// SPDX-License-Identifier: GPL-3.0-or-later
#include "workedexample.h"

namespace varlo::test {

namespace {
QByteArray repeated(const char *hexText, int times)
{
    return QByteArray::fromHex(hexText).repeated(times);
}
} // namespace

MessageSet workedExampleSet()
{
    MessageSet set;
    set.clearForNew();
    set.setMarkup(0, "AB");
    return set;
}

QByteArrayList workedExampleFrames()
{
    const QByteArray zeroChunkTail = repeated("A0", 64) + QByteArray::fromHex("50");
    return {
        // 55 85 02 41 42: marker, checksum, count, 'A', 'B'
        QByteArray::fromHex("82 B2 A2 A0 F0 FD 82 B5 86") + repeated("A0", 59) + QByteArray::fromHex("50"),
        QByteArray::fromHex("82 B2 A2 A4") + zeroChunkTail,
        QByteArray::fromHex("82 B2 A2 A8") + zeroChunkTail,
        QByteArray::fromHex("82 B2 A2 AC") + zeroChunkTail,
        // 00 04 01 for slot A, 01 00 00 for the 19 others, four zero bytes
        QByteArray::fromHex("82 B2 5C A0 A0 E4 B1") + repeated("B1 A0 A0", 19) + repeated("A0", 4)
            + QByteArray::fromHex("50"),
        QByteArray::fromHex("82 90 A0"),
    };
}

QByteArray workedExampleStream()
{
    return workedExampleFrames().join();
}

} // namespace varlo::test
