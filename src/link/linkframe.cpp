// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/linkframe.h"

#include <algorithm>

namespace varlo {

QByteArray LinkFrame::lineCoded() const
{
    QByteArray coded(m_size, Qt::Uninitialized);
    std::transform(m_bytes.begin(), m_bytes.begin() + m_size, coded.begin(),
                   [](quint8 byte) { return static_cast<char>(lineCode(byte)); });
    return coded;
}

LinkFrame makeWriteFrame(quint16 address, FrameData data)
{
    LinkFrame f;
    f.m_bytes[0] = frame::kStart;
    f.m_bytes[1] = frame::kWriteCommand;
    f.m_bytes[2] = static_cast<quint8>(address >> 8);
    f.m_bytes[3] = static_cast<quint8>(address & 0xFF);
    std::copy(data.begin(), data.end(), f.m_bytes.begin() + 4);
    f.m_bytes[frame::kWriteFrameSize - 1] = frame::kTerminator;
    f.m_size = frame::kWriteFrameSize;
    return f;
}

LinkFrame makeEndFrame()
{
    LinkFrame f;
    f.m_bytes[0] = frame::kStart;
    f.m_bytes[1] = frame::kEndCommand;
    f.m_bytes[2] = frame::kEndArgument;
    f.m_size = frame::kEndFrameSize;
    return f;
}

} // namespace varlo
