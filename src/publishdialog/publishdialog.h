// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "fleet/fleetclient.h"
#include "model/messageset.h"
#include "windowkit/publishwindow.h"

#include <QDialog>
#include <QDeadlineTimer>
#include <QTime>

#include <memory>

class QLabel;
class QRadioButton;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTableWidget;

namespace varlo {

class Dialogs;

// File > Publish…: sends the window's message set, retained, to panels and
// groups on an MQTT broker, where each panel's varlo-agent uploads it, and
// shows per panel what its agent says: "uploaded on COM3", "offline", the
// error its upload met. Or, by choice, a schedule file, which the agents run
// in place of a set; it is checked before anything is sent, and a fault is
// shown with its line. Broker, panels, groups and the schedule file are
// remembered for next time.
//
// It never blocks: connecting, publishing and waiting run on the event
// loop, so the window stays usable and a test drives it with publish() and
// publishFinished(). The broker gets --wait seconds to answer, connecting
// included; a refused or failed connection is shown as it happens, with
// the time until which it is tried again, and a broker out of reach is given
// up then, not waited on for ever. Stop ends a run at any time. The CA and
// credentials files can be chosen through the window's file dialogs.
class PublishDialog : public QDialog, public PublishWindow
{
    Q_OBJECT

public:
    static constexpr int kDefaultWaitS = 30;

    explicit PublishDialog(Dialogs &dialogs, QWidget *parent = nullptr);
    ~PublishDialog() override;

    QDialog *dialog() override { return this; }
    // The set to publish: the window's.
    void setMessageSet(const MessageSet &set) override { m_set = set; }

    // The Publish button: checks the fields, remembers them, connects and
    // publishes. publishFinished() follows in every case.
    void publish();
    // The Stop button: ends a run at once; nothing more is published.
    void stop();
    bool isRunning() const { return m_running; }

    QLineEdit *brokerEdit() const { return m_broker; }
    QLineEdit *panelsEdit() const { return m_panels; }
    QLineEdit *groupsEdit() const { return m_groups; }
    QSpinBox *waitBox() const { return m_waitS; }
    QLineEdit *caFileEdit() const { return m_caFile; }
    QLineEdit *credentialsFileEdit() const { return m_credentialsFile; }
    QTableWidget *outcomeTable() const { return m_table; }
    // The choice between the window's set and a schedule file.
    QRadioButton *windowSetChoice() const { return m_windowSetChoice; }
    QRadioButton *scheduleChoice() const { return m_scheduleChoice; }
    QLineEdit *scheduleFileEdit() const { return m_scheduleFile; }
    // The line under the table: what happened, or why nothing could.
    QString statusText() const;

Q_SIGNALS:
    void publishFinished(bool allConfirmed);

private:
    void loadSettings();
    void saveSettings() const;
    // Settings and names from the fields; false, with the reason, when
    // something can't be used.
    bool readFields(fleet::BrokerSettings *settings, QString *error);
    // The schedule file's bytes, checked; false, with the fault and its
    // line, when it can't be published.
    bool readScheduleFile(QString *error);
    // A Browse… button: the file dialog, preset with the field's file.
    void browse(QLineEdit *field, const QString &filter);
    void onConnectionProblem(const QString &reason);
    void onReady();
    void onGaveUp(const QString &lastProblem);
    void onFinished(const QList<fleet::PanelOutcome> &outcomes);
    void showOutcome(const fleet::PanelOutcome &outcome);
    void end(bool allConfirmed, const QString &text);

    QLineEdit *m_broker = nullptr;
    QLineEdit *m_panels = nullptr;
    QLineEdit *m_groups = nullptr;
    QLineEdit *m_caFile = nullptr;
    QLineEdit *m_credentialsFile = nullptr;
    QSpinBox *m_waitS = nullptr;
    QRadioButton *m_windowSetChoice = nullptr;
    QRadioButton *m_scheduleChoice = nullptr;
    QLineEdit *m_scheduleFile = nullptr;
    QPushButton *m_browseSchedule = nullptr;
    QPushButton *m_publishButton = nullptr;
    QPushButton *m_stopButton = nullptr;
    QTableWidget *m_table = nullptr;
    QLabel *m_status = nullptr;

    MessageSet m_set;
    // The schedule file's bytes, when a schedule is published.
    std::optional<QByteArray> m_schedule;
    QStringList m_panelNames;
    QStringList m_groupNames;
    std::unique_ptr<fleet::FleetClient> m_fleet;
    // What is left of the wait once the broker answers goes to the panels.
    QDeadlineTimer m_waitDeadline;
    // When the connection is given up, for the user.
    QTime m_giveUpAt;
    Dialogs &m_dialogs;
    bool m_running = false;
};

} // namespace varlo
