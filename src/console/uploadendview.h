// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "link/uploadoutcome.h"

#include <QString>

namespace varlo {

// Where a program shows how an upload ended: the window in its box, lamp and
// progress bar, varlo-cli on standard error. showUploadEnd drives it, so
// that both tell an ending in the same order.
class UploadEndView
{
public:
    virtual ~UploadEndView() = default;

    // A failure the user must read: its fixed text (uploadFailureText) and
    // the outcome, for the operating system's reason and the ports tried.
    virtual void showFailure(const QString &text, const UploadOutcome &outcome) = 0;
    // Whether the upload did what it was asked: the window's lamp.
    virtual void showResult(bool done) = 0;
    // The progress back at its start.
    virtual void resetProgress() = 0;
};

// A failure is read before anything else changes, with the progress still
// where the upload stopped; then the result, then the progress goes back to
// its start (when it had begun). A completed upload puts the progress back
// first and then shows its result. A stopped one only puts the progress
// back: whoever stopped it knows.
void showUploadEnd(const UploadOutcome &outcome, UploadEndView &view);

} // namespace varlo
