// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the agent's three payload checks, as anyone on
// the broker may publish them to the set, slot and font topics. Each either
// gives what it promises or refuses with a short reason, never both: a set
// that a message file can hold, a slot text as bytes a slot keeps, a
// character generator of exactly its size.

#include "files/messagefile.h"
#include "varlo-agent/payloads.h"

#include "charset/fonttable.h"
#include "charset/panelcharmap.h"

#include "require.h"

#include <cstdint>

using namespace varlo;
using varlo::fuzz::require;
using varlo::fuzz::requireMessage;

namespace {

template <typename T>
bool refused(const agent::Checked<T> &checked, const char *what)
{
    require(checked.value.has_value() == checked.problem.isEmpty(), what);
    if (checked.value)
        return false;
    requireMessage(checked.problem, what);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray payload(reinterpret_cast<const char *>(data), qsizetype(size));

    const agent::Checked<MessageSet> set = agent::checkSetPayload(payload);
    if (!refused(set, "the set topic's reason")) {
        require(firstTooLongSlot(*set.value) < 0, "a set that a message file can't hold");
        MessageSet back;
        require(decodeMessageFile(encodeMessageFile(*set.value), back).ok() && back == *set.value,
                "a set that does not save and read back the same");
    }

    const agent::Checked<QByteArray> slot = agent::checkSlotPayload(payload, PanelCharMap::builtIn());
    if (!refused(slot, "the slot topic's reason")) {
        const QByteArray &markup = *slot.value;
        require(markup.size() <= messagefile::kMaxTextSize, "a slot text longer than a slot keeps");
        require(!markup.contains('\0'), "a zero byte in a slot's text");
        // The status shows the text as the slot boxes do; published again
        // as the slot's text it gives the same bytes.
        const agent::Checked<QByteArray> again = agent::checkSlotPayload(
            agent::slotDisplayText(markup, PanelCharMap::builtIn()).toUtf8(), PanelCharMap::builtIn());
        require(again.value == markup, "the status's slot text does not give the same bytes");
    }

    const agent::Checked<agent::FontPayload> font = agent::checkFontPayload(payload);
    if (!refused(font, "the font topic's reason"))
        require(font.value->table.size() == FontTable::kImageBytes, "a character generator of the wrong size");
    return 0;
}
