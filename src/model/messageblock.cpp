// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/messageblock.h"

#include "model/escapetable.h"

#include <numeric>

namespace varlo {

namespace {

// Walks the markup and calls cell(code, attribute) for every cell it fills.
// Both the encoder and the cell count use it, so they can never disagree.
template <typename CellSink>
void walkMarkup(QByteArrayView markup, CellSink &&cell)
{
    quint8 attribute = 0; // starts clear for every slot
    for (qsizetype i = 0; i < markup.size(); ++i) {
        const auto byte = static_cast<quint8>(markup[i]);
        if (byte != static_cast<quint8>(kEscapeLead)) {
            cell(byte, attribute);
            continue;
        }
        if (i + 1 >= markup.size())
            break; // a trailing tilde has no selector and yields nothing
        const auto escape = findEscape(markup[++i]);
        if (!escape)
            continue; // unknown selector: both bytes consumed, nothing else
        switch (escape->kind) {
        case EscapeKind::Picture:
            // Pictures never flash and are never bold.
            cell(escape->code, 0);
            break;
        case EscapeKind::Blank:
        case EscapeKind::Tilde:
            cell(escape->code, attribute);
            break;
        case EscapeKind::BoldOff:
            attribute &= 0x0F;
            break;
        case EscapeKind::BoldOn:
            attribute |= block::kAttributeBold;
            break;
        case EscapeKind::FlashToggle:
            // Flash lives in the low nibble: any bit there means "on".
            if (attribute & 0x0F)
                attribute &= 0xF0;
            else
                attribute |= block::kAttributeFlash;
            break;
        }
    }
}

} // namespace

MessageBlock encodeMessageBlock(QByteArrayView markup)
{
    MessageBlock blk{};
    int count = 0;
    walkMarkup(markup, [&](quint8 code, quint8 attribute) {
        if (count >= block::kCellCapacity)
            return; // the panel holds 125 cells; the rest is dropped
        blk[block::kCodeOffset + count] = code;
        blk[block::kAttributeOffset + count] = attribute;
        ++count;
    });
    blk[block::kCountOffset] = static_cast<quint8>(count);
    blk[block::kChecksumOffset] = messageBlockChecksum(blk);
    blk[block::kMarkerOffset] = block::kMarker;
    return blk;
}

quint8 messageBlockChecksum(const MessageBlock &blk)
{
    return static_cast<quint8>(std::accumulate(blk.begin() + block::kCountOffset, blk.end(), 0u));
}

DirectoryEntry makeDirectoryEntry(bool empty, bool run, quint8 speedCode)
{
    if (empty)
        return {1, 0, 0};
    return {static_cast<quint8>(run ? 0 : 1), speedCode, 1};
}

int markupCellCount(QByteArrayView markup)
{
    int count = 0;
    walkMarkup(markup, [&count](quint8, quint8) { ++count; });
    return count;
}

bool markupOverflows(QByteArrayView markup)
{
    return markupCellCount(markup) > block::kCellCapacity;
}

} // namespace varlo
