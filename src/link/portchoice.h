// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace varlo {

// Which port an upload uses: discovery (AUTO), a COM number, or a device path
// that is opened directly, without a probe.
class PortChoice
{
public:
    enum class Kind { Automatic, Com, Device };

    PortChoice() = default; // AUTO
    static PortChoice automatic() { return {}; }
    static PortChoice com(int number);
    static PortChoice device(const QString &path);
    // The port box: item 0 is AUTO, item n is COM n; no selection (-1) means
    // AUTO as well.
    static PortChoice fromPortBoxIndex(int index);
    // "AUTO", "COM<n>" or "<n>" for n 1 to 15 (any case), or a device path
    // (anything with a '/'). Nothing for other text.
    static std::optional<PortChoice> parse(const QString &text);

    Kind kind() const { return m_kind; }
    bool isAutomatic() const { return m_kind == Kind::Automatic; }
    int comNumber() const { return m_com; } // Kind::Com only
    QString devicePath() const { return m_device; } // Kind::Device only
    // "AUTO", "COM3" or the device path.
    QString toString() const;

    friend bool operator==(const PortChoice &, const PortChoice &) = default;

private:
    Kind m_kind = Kind::Automatic;
    int m_com = 0;
    QString m_device;
};

} // namespace varlo
