// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the message file reader. It must never crash, hang
// or read out of bounds, and whatever it accepts must leave a set that can be
// saved again and reads back the same.

#include "files/messagefile.h"

#include "require.h"

#include <cstdint>

using namespace varlo;
using varlo::fuzz::require;

namespace {

// Something in every slot, so that what a read keeps or replaces shows.
MessageSet setBefore()
{
    MessageSet set;
    for (int i = 0; i < MessageSet::kSlotCount; ++i) {
        set.setMarkup(i, "kept");
        set.setSpeedCode(i, 7);
        set.setRun(i, i % 2 == 0);
    }
    return set;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const MessageSet before = setBefore();
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    MessageSet set = before;
    const MessageFileReadResult result = decodeMessageFile(bytes, set);

    for (int i = 0; i < MessageSet::kSlotCount; ++i) {
        require(set.markup(i).size() <= messagefile::kMaxTextSize, "a text longer than a record can hold");
        require(!set.markup(i).contains('\0'), "a zero byte inside a text");
        require(set.run(i) == before.run(i), "a run flag changed");
    }
    require(result.changed == !(set == before), "changed does not match the set");
    switch (result.status) {
    case MessageFileReadResult::Status::Read:
        require(result.messages.isEmpty(), "a message for a good file");
        break;
    case MessageFileReadResult::Status::Rejected:
        require(set == before, "a rejected file changed the set");
        require(result.messages == QStringList{QString::fromLatin1(messagefile::kReadError)},
                "wrong messages for a rejected file");
        break;
    case MessageFileReadResult::Status::Damaged:
        require(result.messages == QStringList{QString::fromLatin1(messagefile::kEndNotFound)},
                "wrong messages for a damaged file");
        break;
    }

    // Whatever was read can be saved, and the saved file reads back the same.
    require(firstTooLongSlot(set) < 0, "a read set that cannot be saved");
    const QByteArray saved = encodeMessageFile(set);
    require(saved.size() <= messagefile::kMaxMeaningfulSize, "a saved file longer than the format allows");
    MessageSet back = before;
    require(decodeMessageFile(saved, back).ok(), "a saved file does not read back cleanly");
    require(back == set, "a saved file reads back different");
    return 0;
}
