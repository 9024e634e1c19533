// SPDX-License-Identifier: GPL-3.0-or-later
#include "model/messageset.h"

namespace varlo {

MessageSet::MessageSet()
{
    m_run.fill(true);
}

char MessageSet::slotLetter(int index)
{
    Q_ASSERT(isSlotIndex(index));
    return static_cast<char>('A' + index);
}

int MessageSet::slotIndex(char letter)
{
    if (letter >= 'a' && letter <= 'z')
        letter = static_cast<char>(letter - 'a' + 'A');
    const int index = letter - 'A';
    return isSlotIndex(index) ? index : -1;
}

quint8 MessageSet::nextSpeedCode(quint8 code)
{
    return code + 1 < kSpeedCodeCount ? quint8(code + 1) : quint8(0);
}

void MessageSet::clearForNew()
{
    for (QByteArray &text : m_markup)
        text.clear();
    m_speedCodes.fill(kDefaultSpeedCode);
}

} // namespace varlo
