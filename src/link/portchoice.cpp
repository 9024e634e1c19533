// SPDX-License-Identifier: GPL-3.0-or-later
#include "link/portchoice.h"

#include "link/serialport.h"

#include <algorithm>

namespace varlo {

PortChoice PortChoice::com(int number)
{
    Q_ASSERT(SerialPort::isComNumber(number));
    PortChoice choice;
    choice.m_kind = Kind::Com;
    choice.m_com = number;
    return choice;
}

PortChoice PortChoice::device(const QString &path)
{
    PortChoice choice;
    choice.m_kind = Kind::Device;
    choice.m_device = path;
    return choice;
}

PortChoice PortChoice::fromPortBoxIndex(int index)
{
    return SerialPort::isComNumber(index) ? com(index) : automatic();
}

std::optional<PortChoice> PortChoice::parse(const QString &text)
{
    if (text.compare(QLatin1String("AUTO"), Qt::CaseInsensitive) == 0)
        return automatic();
    if (text.contains(QLatin1Char('/')))
        return device(text);

    QString digits = text;
    if (digits.startsWith(QLatin1String("COM"), Qt::CaseInsensitive))
        digits = digits.mid(3);
    // Digits only: toInt alone would also take "+3" or " 3".
    const bool allDigits = !digits.isEmpty()
        && std::all_of(digits.cbegin(), digits.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const int number = allDigits ? digits.toInt() : 0;
    if (!SerialPort::isComNumber(number))
        return std::nullopt;
    return com(number);
}

QString PortChoice::toString() const
{
    switch (m_kind) {
    case Kind::Automatic:
        return QStringLiteral("AUTO");
    case Kind::Com:
        return QStringLiteral("COM%1").arg(m_com);
    case Kind::Device:
        return m_device;
    }
    return {};
}

} // namespace varlo
