// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-panel/panelstate.h"

#include "model/messageset.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace varlo::panel {

namespace {

QByteArray jsonBool(bool value)
{
    return value ? QByteArrayLiteral("true") : QByteArrayLiteral("false");
}

QByteArray jsonString(const QString &text)
{
    // QJsonDocument knows the escapes; take the string out of a one-item
    // array.
    const QByteArray array = QJsonDocument(QJsonArray{text}).toJson(QJsonDocument::Compact);
    return array.mid(1, array.size() - 2);
}

template <typename Numbers>
QByteArray jsonNumbers(const Numbers &numbers)
{
    QByteArrayList items;
    for (const auto number : numbers)
        items << QByteArray::number(number);
    return '[' + items.join(", ") + ']';
}

QString letters(const std::vector<int> &indexes)
{
    QString text;
    for (const int slot : indexes) {
        if (!text.isEmpty())
            text += QLatin1Char(' ');
        text += QLatin1Char(MessageSet::slotLetter(slot));
    }
    return text;
}

QString counted(qsizetype count, const char *singular)
{
    return QStringLiteral("%1 %2%3").arg(count).arg(QLatin1String(singular)).arg(count == 1 ? "" : "s");
}

} // namespace

bool blockSound(const PanelMemory &memory, int slot)
{
    return memory.markerOk(slot) && memory.checksumOk(slot);
}

QByteArray stateJson(const PanelMemory &memory, const PanelMemory::Upload &upload)
{
    QByteArrayList slotLines;
    for (int slot = 0; slot < PanelMemory::kSlotCount; ++slot) {
        const bool present = memory.isPresent(slot);
        const MessageBlock &block = memory.block(slot);
        std::vector<int> codes;
        std::vector<int> attrs;
        if (present) {
            for (const LedCell &cell : messageBlockCells(block)) {
                codes.push_back(cell.code);
                attrs.push_back(cell.attribute);
            }
        }
        QByteArray line = "{\"letter\": \"" + QByteArray(1, MessageSet::slotLetter(slot)) + '"';
        line += ", \"present\": " + jsonBool(present);
        line += ", \"run\": " + jsonBool(memory.runs(slot));
        line += ", \"speed\": " + QByteArray::number(memory.speedCode(slot));
        line += ", \"count\": " + QByteArray::number(present ? block[block::kCountOffset] : 0);
        line += ", \"checksum_ok\": " + jsonBool(present && memory.checksumOk(slot));
        line += ", \"codes\": " + jsonNumbers(codes);
        line += ", \"attrs\": " + jsonNumbers(attrs) + '}';
        slotLines << line;
    }
    QByteArrayList errorItems;
    for (const QString &error : upload.errors)
        errorItems << jsonString(error);

    return "{\"slots\": [\n  " + slotLines.join(",\n  ") + "],\n \"font_loaded\": " + jsonBool(memory.fontLoaded())
        + ",\n \"errors\": [" + errorItems.join(", ")
        + "],\n \"errors_dropped\": " + QByteArray::number(upload.errorsDropped) + "}\n";
}

QString uploadLine(const PanelMemory &memory, const PanelMemory::Upload &upload)
{
    QString line;
    if (upload.kind == PanelMemory::UploadKind::Font) {
        line = QStringLiteral("font upload: %1").arg(counted(upload.writeFrames, "frame"));
    } else {
        std::vector<int> present;
        std::vector<int> badChecksum;
        int stopped = 0;
        for (int slot = 0; slot < PanelMemory::kSlotCount; ++slot) {
            if (!memory.isPresent(slot))
                continue;
            present.push_back(slot);
            if (!memory.runs(slot))
                ++stopped;
            if (!memory.checksumOk(slot))
                badChecksum.push_back(slot);
        }
        if (present.empty()) {
            line = QStringLiteral("message upload: no slots");
        } else {
            line = QStringLiteral("message upload: %1 (%2), %3 stopped, %4")
                       .arg(counted(qsizetype(present.size()), "slot"), letters(present))
                       .arg(stopped)
                       .arg(badChecksum.empty() ? QStringLiteral("checksums ok")
                                                : QStringLiteral("bad checksum in ") + letters(badChecksum));
        }
    }
    if (upload.errorCount() > 0)
        line += QStringLiteral(", ") + counted(upload.errorCount(), "error");
    return line;
}

PanelShow showOf(const PanelMemory &memory, int widthDots)
{
    PanelShow show(widthDots);
    for (const int slot : memory.runningSlots()) {
        if (blockSound(memory, slot)) {
            show.append(slot,
                        PanelScroller::fromBlock(memory.block(slot), memory.speedCode(slot),
                                                 memory.characterGenerator(), widthDots));
        }
    }
    return show;
}

} // namespace varlo::panel
