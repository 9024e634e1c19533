// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/uploadwords.h"

namespace varlo {

QString uploadFailureText(UploadResult result)
{
    switch (result) {
    case UploadResult::CantOpen:
        return QStringLiteral("Serial port can't open!");
    case UploadResult::CantFind:
        return QStringLiteral(" Can't find serial port!");
    case UploadResult::WriteError:
        return QStringLiteral("Serial port write error!");
    case UploadResult::Done:
    case UploadResult::Stopped:
        break;
    }
    return {};
}

QString portStatusText(const PortChoice &port)
{
    if (port.kind() == PortChoice::Kind::Com)
        return QStringLiteral("  Com:") + QString::number(port.comNumber());
    return QStringLiteral("  ") + port.toString();
}

} // namespace varlo
