// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace varlo {

class PortChoice;

// What an upload tells while it runs. Calls come from the thread that runs
// the upload; a program with a window passes them on to its own thread.
class UploadProgress
{
public:
    virtual ~UploadProgress() = default;

    // The port is open (discovery found the panel there) and its line is
    // set next.
    virtual void portOpened(const PortChoice &port) = 0;
    virtual void setProgressMaximum(int maximum) = 0;
    virtual void setProgressPosition(int position) = 0;
};

} // namespace varlo
