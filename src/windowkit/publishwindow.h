// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QtPlugin>

class QDialog;
class QWidget;

namespace varlo {

class Dialogs;
class MessageSet;

// File > Publish… as the main window knows it. The window itself lives in a
// module of its own, which the main window loads when Publish… is first
// chosen: it brings the broker's libraries (libmosquitto, and with it
// OpenSSL), and a window that never publishes should not load them at start.
class PublishWindow
{
public:
    virtual ~PublishWindow() = default;

    virtual QDialog *dialog() = 0;
    // The set to publish: the window's, as it stands.
    virtual void setMessageSet(const MessageSet &set) = 0;
};

// What the module gives: a maker of Publish windows.
class PublishWindowMaker
{
public:
    virtual ~PublishWindowMaker() = default;

    // A new Publish window, owned by parent.
    virtual PublishWindow *makePublishWindow(Dialogs &dialogs, QWidget *parent) = 0;
};

} // namespace varlo

#define VARLO_PUBLISH_WINDOW_MAKER_IID "io.varlo.PublishWindowMaker/1"
Q_DECLARE_INTERFACE(varlo::PublishWindowMaker, VARLO_PUBLISH_WINDOW_MAKER_IID)
