// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/sethash.h"

#include "files/messagefile.h"
#include "model/messageset.h"

#include <QCryptographicHash>

namespace varlo::fleet {

QString BytesHash(QByteArrayView bytes)
{
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QString SetHash(const MessageSet &set)
{
    return BytesHash(EncodeMessageFile(set));
}

std::optional<QString> SetHashOfFile(QByteArrayView fileBytes)
{
    MessageSet set;
    set.clearForNew();
    if (!DecodeMessageFile(fileBytes, set).ok())
        return std::nullopt;
    return SetHash(set);
}

} // namespace varlo::fleet
