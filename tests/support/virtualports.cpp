// SPDX-License-Identifier: GPL-3.0-or-later
#include "virtualports.h"

#include "link/serialport.h"

#include <QDir>
#include <QFile>

namespace varlo::test {

VirtualPorts::VirtualPorts(ProbeWait probeWait)
{
    if (probeWait == ProbeWait::Widened)
        qputenv("VARLO_PROBE_TIMEOUT_MS", QByteArray::number(kWidenedProbeTimeoutMs));
    else
        qunsetenv("VARLO_PROBE_TIMEOUT_MS");
    if (!m_dir.isValid())
        return;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.path()));
    if (SerialPort::portsFolder() != portsFolder() || !QDir().mkpath(portsFolder()))
        return;
    m_valid = true;
    for (int com = SerialPort::kFirstCom; com <= SerialPort::kLastCom; ++com)
        m_valid = mapTo(com, m_dir.filePath(QStringLiteral("no-device/com%1").arg(com))) && m_valid;
}

VirtualPorts::~VirtualPorts()
{
    m_panels.clear();
}

QString VirtualPorts::portsFolder() const
{
    return m_dir.filePath(QStringLiteral("varlo/ports"));
}

QString VirtualPorts::entry(int com) const
{
    return portsFolder() + QStringLiteral("/com%1").arg(com);
}

VirtualPanel &VirtualPorts::addPanel(int com, VirtualPanel::Answer answer)
{
    auto panel = std::make_unique<VirtualPanel>(answer);
    VirtualPanel &added = *panel;
    mapTo(com, added.slavePath());
    m_panels[com] = std::move(panel);
    return added;
}

VirtualPanel *VirtualPorts::panel(int com) const
{
    const auto found = m_panels.find(com);
    return found == m_panels.end() ? nullptr : found->second.get();
}

bool VirtualPorts::mapTo(int com, const QString &target)
{
    QFile::remove(entry(com));
    return QFile::link(target, entry(com));
}

bool VirtualPorts::mapToPlainFile(int com)
{
    QFile::remove(entry(com));
    QFile file(entry(com));
    return file.open(QIODevice::WriteOnly) && file.write("not a serial port\n") > 0;
}

QStringList VirtualPorts::lineErrors() const
{
    QStringList errors;
    for (const auto &[com, panel] : m_panels) {
        for (const QString &error : panel->lineErrors())
            errors << QStringLiteral("COM%1: %2").arg(com).arg(error);
    }
    return errors;
}

} // namespace varlo::test
