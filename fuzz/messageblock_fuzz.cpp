// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary markup to the message block encoder. Whatever the bytes,
// the block it returns must be one the panel can take: the count says how
// many cells are stored and never passes 125, nothing lands outside the 256
// bytes, the checksum is right, every byte past the last cell is 0 and every
// attribute is a combination of flash and bold. On top, the cells must be
// exactly those of a plain, independent reading of the markup rules below,
// so a slip in the shared escape table or the walker shows as well.

#include "model/messageblock.h"

#include "require.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <new>
#include <vector>

using namespace varlo;
using varlo::fuzz::require;

namespace {

// The block with a fenced region on either side. The encoder's result is
// constructed right inside it (a prvalue initialises the object it names, so
// the encoder writes into `block` itself), and any byte it wrote past either
// end would change a fence.
struct Fenced
{
    static constexpr quint8 kFence = 0xA5;
    quint8 before[64];
    MessageBlock block;
    quint8 after[64];
};

bool fenceIntact(const quint8 (&fence)[64])
{
    for (const quint8 byte : fence) {
        if (byte != Fenced::kFence)
            return false;
    }
    return true;
}

struct Cell
{
    quint8 code;
    quint8 attribute;
};

// The markup rules read straight from their description, one selector at a
// time, with no table and no cap.
std::vector<Cell> referenceCells(const uint8_t *data, size_t size)
{
    std::vector<Cell> cells;
    quint8 attribute = 0;
    for (size_t i = 0; i < size; ++i) {
        if (data[i] != '~') {
            cells.push_back({data[i], attribute});
            continue;
        }
        if (++i == size)
            break;
        switch (data[i]) {
        case '+':
            cells.push_back({13, 0});
            break;
        case 'H':
            cells.push_back({15, 0});
            break;
        case '<':
            cells.push_back({17, 0});
            break;
        case '>':
            cells.push_back({19, 0});
            break;
        case 'P':
            cells.push_back({21, 0});
            break;
        case 'x':
            cells.push_back({23, 0});
            break;
        case 'S':
            cells.push_back({25, 0});
            break;
        case 'O':
            cells.push_back({27, 0});
            break;
        case 'o':
            cells.push_back({29, 0});
            break;
        case 'R':
            cells.push_back({31, attribute});
            break;
        case '~':
            cells.push_back({0x7E, attribute});
            break;
        case 'A':
            attribute &= 0x0F;
            break;
        case 'B':
            attribute |= 0x10;
            break;
        case 'F':
            attribute = (attribute & 0x0F) ? (attribute & 0xF0) : (attribute | 0x01);
            break;
        default:
            break;
        }
    }
    return cells;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView markup(reinterpret_cast<const char *>(data), qsizetype(size));

    Fenced fenced;
    std::memset(&fenced, Fenced::kFence, sizeof fenced);
    ::new (&fenced.block) MessageBlock(encodeMessageBlock(markup));
    const MessageBlock &blk = fenced.block;
    require(fenceIntact(fenced.before) && fenceIntact(fenced.after), "wrote outside the block");

    const int count = blk[block::kCountOffset];
    const int cellCount = markupCellCount(markup);
    require(count <= block::kCellCapacity, "count above 125");
    require(count == std::min(cellCount, block::kCellCapacity), "count is not the cells the markup fills, capped");
    require(markupOverflows(markup) == (cellCount > block::kCellCapacity), "overflow flag disagrees with the count");

    require(blk[block::kMarkerOffset] == block::kMarker, "marker");
    quint8 sum = 0;
    for (int i = block::kCountOffset; i < block::kSize; ++i)
        sum = quint8(sum + blk[i]);
    require(blk[block::kChecksumOffset] == sum, "checksum");

    for (int k = 0; k < block::kCellCapacity; ++k) {
        const quint8 code = blk[block::kCodeOffset + k];
        const quint8 attribute = blk[block::kAttributeOffset + k];
        require(attribute == 0x00 || attribute == 0x01 || attribute == 0x10 || attribute == 0x11,
                "attribute other than flash and bold");
        if (k >= count)
            require(code == 0 && attribute == 0, "a cell past the count is not 0");
    }
    for (int i = block::kAttributeOffset + block::kCellCapacity; i < block::kSize; ++i)
        require(blk[i] == 0, "trailer not 0");

    const std::vector<Cell> cells = referenceCells(data, size);
    require(int(cells.size()) == cellCount, "cell count differs from the markup rules");
    for (int k = 0; k < count; ++k) {
        require(blk[block::kCodeOffset + k] == cells[k].code, "cell code differs from the markup rules");
        require(blk[block::kAttributeOffset + k] == cells[k].attribute, "cell attribute differs from the markup rules");
    }

    require(encodeMessageBlock(markup) == blk, "encoding twice differs");
    return 0;
}
