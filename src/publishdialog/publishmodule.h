// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "windowkit/publishwindow.h"

#include <QObject>

namespace varlo {

// The Publish window's module: the plugin the main window loads when
// File > Publish… is first chosen (see PublishWindow).
class PublishModule : public QObject, public PublishWindowMaker
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID VARLO_PUBLISH_WINDOW_MAKER_IID)
    Q_INTERFACES(varlo::PublishWindowMaker)

public:
    PublishWindow *makePublishWindow(Dialogs &dialogs, QWidget *parent) override;
};

} // namespace varlo
