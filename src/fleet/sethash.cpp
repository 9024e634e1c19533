// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/sethash.h"

#include "files/messagefile.h"
#include "model/messageset.h"

#include <QCryptographicHash>

namespace varlo::fleet {

QString hashOfBytes(QByteArrayView bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString hashOfSet(const MessageSet &set)
{
    return hashOfBytes(encodeMessageFile(set));
}

QString hashOfShownSet(const MessageSet &set)
{
    QByteArray runFlags;
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot)
        runFlags += set.run(slot) ? '1' : '0';
    if (!runFlags.contains('0'))
        return hashOfSet(set);
    return hashOfBytes(encodeMessageFile(set) + QByteArrayLiteral("\nrun ") + runFlags);
}

} // namespace varlo::fleet
