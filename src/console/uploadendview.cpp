// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/uploadendview.h"

#include "console/uploadwords.h"

namespace varlo {

void showUploadEnd(const UploadOutcome &outcome, UploadEndView &view)
{
    if (const QString text = uploadFailureText(outcome.result); !text.isEmpty()) {
        view.showFailure(text, outcome);
        view.showResult(false);
    }
    if (outcome.begun)
        view.resetProgress();
    if (outcome.done())
        view.showResult(true);
}

} // namespace varlo
