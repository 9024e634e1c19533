// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

namespace varlo {

// The colour of the status lamp on the Send button.
enum class Lamp { Green, Red };

// How an upload tells its front end what is happening. The uploads never show
// anything themselves: the main window shows message boxes and a progress
// bar, the command-line tool prints to standard error. Calls may come from a
// worker thread; the front end passes them on to its own thread.
class LinkReporter
{
public:
    virtual ~LinkReporter() = default;

    // A failure the user must read: the fixed text (for example
    // "Serial port can't open!") and the operating system's reason, which is
    // empty when there is none.
    virtual void showMessage(const QString &text, const QString &reason) = 0;
    virtual void showLamp(Lamp lamp) = 0;
    // The status bar text, for example "  Com:3".
    virtual void showStatus(const QString &text) = 0;
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgressPosition(int position) = 0;
};

} // namespace varlo
