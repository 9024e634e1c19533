// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>

#include <array>

namespace varlo {

// The document: 20 message slots A to T, each with a markup text (bytes,
// one per character, never translated), a speed code and a run flag.
class MessageSet
{
public:
    static constexpr int kSlotCount = 20;
    // The speeds a speed button steps through, codes 0 to 4, shown to the
    // user as Speed 1 to 5. A message file may bring any byte.
    static constexpr int kSpeedCodeCount = 5;
    // What New gives every slot: the fastest.
    static constexpr quint8 kDefaultSpeedCode = kSpeedCodeCount - 1;

    using SpeedCodes = std::array<quint8, kSlotCount>;

    MessageSet();

    // 'A' for 0 ... 'T' for 19. The index must be a slot index.
    static char slotLetter(int index);
    // The slot index of a letter A to T (either case), or -1.
    static int slotIndex(char letter);
    static bool isSlotIndex(int index) { return index >= 0 && index < kSlotCount; }

    const QByteArray &markup(int index) const { return m_markup.at(index); }
    void setMarkup(int index, const QByteArray &markup) { m_markup.at(index) = markup; }
    // A slot is empty exactly when its markup has no bytes; a markup that
    // fills no cell ("~B") is not empty.
    bool isEmpty(int index) const { return m_markup.at(index).isEmpty(); }

    quint8 speedCode(int index) const { return m_speedCodes.at(index); }
    void setSpeedCode(int index, quint8 code) { m_speedCodes.at(index) = code; }
    // The 20 speed codes in slot order, as the message file stores them.
    const SpeedCodes &speedCodes() const { return m_speedCodes; }
    SpeedCodes &speedCodes() { return m_speedCodes; }

    bool run(int index) const { return m_run.at(index); }
    void setRun(int index, bool run) { m_run.at(index) = run; }

    // The code one click of a speed button gives: the next one up, and after
    // the fastest (or any code above it) the slowest, 0.
    static quint8 nextSpeedCode(quint8 code);

    // New: all texts empty, all speed codes 4; run flags stay as they are.
    void clearForNew();

    friend bool operator==(const MessageSet &, const MessageSet &) = default;

private:
    std::array<QByteArray, kSlotCount> m_markup;
    SpeedCodes m_speedCodes{};
    std::array<bool, kSlotCount> m_run;
};

} // namespace varlo
