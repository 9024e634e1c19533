// SPDX-License-Identifier: GPL-3.0-or-later
#include "publishdialog/publishmodule.h"

#include "publishdialog/publishdialog.h"

namespace varlo {

PublishWindow *PublishModule::makePublishWindow(Dialogs &dialogs, QWidget *parent)
{
    return new PublishDialog(dialogs, parent);
}

} // namespace varlo
