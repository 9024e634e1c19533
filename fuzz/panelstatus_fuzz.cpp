// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes as an agent's status, as anyone on the broker may
// publish one, to the reader that varlo-cli panels and publish use and to
// the judgement publish tells a person. A status read is written and read
// back to the same JSON; a refusal and every outcome are one short line.

#include "fleet/panelstatus.h"
#include "fleet/publishconfirmation.h"
#include "model/messageset.h"

#include "require.h"

#include <cstdint>

using namespace varlo;
using namespace varlo::fleet;
using varlo::fuzz::require;
using varlo::fuzz::requireMessage;

namespace {

// What a publisher waits for: a set, and a slot text.
QList<PublishConfirmation::Expected> expectations()
{
    PublishConfirmation::Expected set;
    set.setHash = QStringLiteral("sha256:0123");
    set.payloadHash = QStringLiteral("0123");
    PublishConfirmation::Expected slot;
    slot.slot = 2;
    slot.slotText = QStringLiteral("Hello");
    slot.payloadHash = QStringLiteral("4567");
    return {set, slot};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const QList<PublishConfirmation::Expected> expected = expectations();
    const QByteArray json(reinterpret_cast<const char *>(data), qsizetype(size));

    QString error;
    const std::optional<PanelStatus> status = PanelStatus::fromJson(json, &error);
    if (!status) {
        requireMessage(error, "the reason a status is refused");
        return 0;
    }
    require(!status->name.isEmpty(), "a status without a name");
    require(status->uploadedSlots.isEmpty() || status->uploadedSlots.size() == MessageSet::kSlotCount,
            "a status with some slot texts but not 20");

    // Written as an agent writes it and read back, the status says the same.
    const QByteArray written = status->toJson();
    QString againError;
    const std::optional<PanelStatus> again = PanelStatus::fromJson(written, &againError);
    require(again.has_value(), "a status written does not read back");
    require(again->toJson() == written, "a status written reads back different");

    for (const PublishConfirmation::Expected &wanted : expected) {
        const PanelOutcome outcome = PublishConfirmation::judge(*status, wanted);
        require(outcome.panel == status->name, "an outcome for another panel");
        if (!outcome.text.isEmpty())
            requireMessage(outcome.text, "the line publish shows for a panel", PanelStatus::kQuotedCharacters);
    }
    return 0;
}
