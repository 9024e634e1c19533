// SPDX-License-Identifier: GPL-3.0-or-later
#include "publishdialog/publishdialog.h"

#include "fleet/brokeroptions.h"
#include "fleet/fleetnames.h"
#include "fleet/fleettopics.h"
#include "files/readfile.h"
#include "schedule/schedulefile.h"
#include "windowkit/dialogs.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

namespace varlo {

namespace {

const QString kBrokerKey = QStringLiteral("publish/broker");
const QString kPanelsKey = QStringLiteral("publish/panels");
const QString kGroupsKey = QStringLiteral("publish/groups");
const QString kCaFileKey = QStringLiteral("publish/caFile");
const QString kCredentialsKey = QStringLiteral("publish/credentialsFile");
const QString kWaitKey = QStringLiteral("publish/waitS");
const QString kScheduleKey = QStringLiteral("publish/scheduleFile");
const QString kWhatKey = QStringLiteral("publish/schedule");

constexpr int kMaxWaitS = 3600;

// ~/.config/varlo/varlo.conf, beside the ports folder.
const QString kSettingsOrganization = QStringLiteral("varlo");
const QString kSettingsApplication = QStringLiteral("varlo");

// "shop-1, shop-2 office" -> the three names.
QStringList names(const QLineEdit *edit)
{
    static const QRegularExpression separators(QStringLiteral("[\\s,]+"));
    QStringList list = edit->text().split(separators, Qt::SkipEmptyParts);
    list.removeDuplicates();
    return list;
}

} // namespace

PublishDialog::PublishDialog(Dialogs &dialogs, QWidget *parent)
    : QDialog(parent)
    , m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("PublishDialog"));
    setWindowTitle(tr("Publish"));

    m_broker = new QLineEdit(this);
    m_broker->setPlaceholderText(QStringLiteral("mqtt://hub.local"));
    m_panels = new QLineEdit(this);
    m_panels->setPlaceholderText(tr("shop-1, shop-2"));
    m_groups = new QLineEdit(this);
    m_groups->setPlaceholderText(tr("all"));
    m_caFile = new QLineEdit(this);
    m_caFile->setPlaceholderText(tr("none: no TLS unless mqtts://"));
    m_credentialsFile = new QLineEdit(this);
    m_credentialsFile->setPlaceholderText(tr("none"));
    m_waitS = new QSpinBox(this);
    m_waitS->setRange(1, kMaxWaitS);
    m_waitS->setSuffix(tr(" s"));
    m_waitS->setValue(kDefaultWaitS);

    m_broker->setToolTip(tr("The broker's address: mqtt://host[:port] or mqtts://host[:port]"));
    m_panels->setToolTip(tr("The panels to publish to, by their agents' names, separated by commas or spaces"));
    m_groups->setToolTip(tr("The groups of panels to publish to, separated by commas or spaces"));
    m_caFile->setToolTip(tr("The certificate of the authority that signed the broker's: TLS is used with it"));
    m_credentialsFile->setToolTip(tr("A file with the user name and password to log in to the broker with"));
    m_waitS->setToolTip(tr("How long to wait for the broker and the panels' answers"));

    // A field and its Browse… button; the label names the field, for a
    // screen reader too, and its key goes to the field.
    const auto withBrowse = [this](QFormLayout *form, const QString &labelText, QLineEdit *field, const char *name,
                                   const QString &filter, const QString &tip) {
        auto *button = new QPushButton(tr("Browse…"), this);
        button->setObjectName(QString::fromLatin1(name));
        button->setToolTip(tip);
        connect(button, &QPushButton::clicked, this, [this, field, filter] { browse(field, filter); });
        auto *row = new QHBoxLayout;
        row->addWidget(field, 1);
        row->addWidget(button);
        auto *label = new QLabel(labelText, this);
        label->setBuddy(field);
        form->addRow(label, row);
    };

    // What goes out: the window's set, or a schedule file.
    m_windowSetChoice = new QRadioButton(tr("The window's &messages"), this);
    m_windowSetChoice->setObjectName(QStringLiteral("PublishWindowSet"));
    m_windowSetChoice->setToolTip(tr("Publish the message set in the window"));
    m_windowSetChoice->setAccessibleName(tr("Publish the window's messages"));
    m_windowSetChoice->setChecked(true);
    m_scheduleChoice = new QRadioButton(tr("A sc&hedule file:"), this);
    m_scheduleChoice->setObjectName(QStringLiteral("PublishSchedule"));
    m_scheduleChoice->setToolTip(
        tr("Publish a schedule file: the panels' agents run it in place of a set, until a set is published"));
    m_scheduleChoice->setAccessibleName(tr("Publish a schedule file"));
    m_scheduleFile = new QLineEdit(this);
    m_scheduleFile->setObjectName(QStringLiteral("ScheduleFile"));
    m_scheduleFile->setPlaceholderText(tr("cafe.schedule"));
    m_scheduleFile->setToolTip(tr("The schedule file to publish; it is checked before anything is sent"));
    m_scheduleFile->setAccessibleName(tr("Schedule file"));
    m_browseSchedule = new QPushButton(tr("Browse…"), this);
    m_browseSchedule->setObjectName(QStringLiteral("BrowseScheduleFile"));
    m_browseSchedule->setToolTip(tr("Choose the schedule file"));
    m_browseSchedule->setAccessibleName(tr("Choose the schedule file"));
    connect(m_browseSchedule, &QPushButton::clicked, this, [this] {
        browse(m_scheduleFile, QStringLiteral("*.schedule *.txt *"));
        if (!m_scheduleFile->text().isEmpty())
            m_scheduleChoice->setChecked(true);
    });
    const auto followChoice = [this] { m_scheduleFile->setEnabled(m_scheduleChoice->isChecked()); };
    connect(m_scheduleChoice, &QRadioButton::toggled, this, followChoice);
    auto *scheduleRow = new QHBoxLayout;
    scheduleRow->addWidget(m_scheduleChoice);
    scheduleRow->addWidget(m_scheduleFile, 1);
    scheduleRow->addWidget(m_browseSchedule);
    auto *what = new QVBoxLayout;
    what->addWidget(m_windowSetChoice);
    what->addLayout(scheduleRow);

    auto *form = new QFormLayout;
    form->addRow(tr("Publish:"), what);
    form->addRow(tr("&Broker:"), m_broker);
    form->addRow(tr("&Panels:"), m_panels);
    form->addRow(tr("&Groups:"), m_groups);
    withBrowse(form, tr("TLS &CA file:"), m_caFile, "BrowseCaFile", QStringLiteral("*.pem *.crt *.cer"),
               tr("Choose the CA certificate file"));
    withBrowse(form, tr("C&redentials file:"), m_credentialsFile, "BrowseCredentialsFile", QStringLiteral("*"),
               tr("Choose the credentials file"));
    form->addRow(tr("&Wait up to:"), m_waitS);

    m_table = new QTableWidget(0, 2, this);
    m_table->setHorizontalHeaderLabels({tr("Panel"), tr("State")});
    m_table->horizontalHeader()->setStretchLastSection(true);
    m_table->verticalHeader()->hide();
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_status = new QLabel(this);
    m_status->setWordWrap(true);

    m_table->setToolTip(tr("What each panel's agent says about the set"));
    m_table->setAccessibleName(tr("Panels and their state"));

    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->button(QDialogButtonBox::Close)->setToolTip(tr("Close this window; a run goes on"));
    m_publishButton = buttons->addButton(tr("&Publish"), QDialogButtonBox::ActionRole);
    m_publishButton->setObjectName(QStringLiteral("PublishButton"));
    m_publishButton->setToolTip(tr("Send the messages to the panels and groups named above"));
    connect(m_publishButton, &QPushButton::clicked, this, &PublishDialog::publish);
    m_stopButton = buttons->addButton(tr("&Stop"), QDialogButtonBox::ActionRole);
    m_stopButton->setObjectName(QStringLiteral("StopButton"));
    m_stopButton->setToolTip(tr("Stop connecting, publishing or waiting for the panels"));
    m_stopButton->setEnabled(false);
    connect(m_stopButton, &QPushButton::clicked, this, &PublishDialog::stop);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(m_table);
    layout->addWidget(m_status);
    layout->addWidget(buttons);

    loadSettings();
    followChoice();
}

PublishDialog::~PublishDialog() = default;

QString PublishDialog::statusText() const
{
    return m_status->text();
}

void PublishDialog::loadSettings()
{
    const QSettings settings(kSettingsOrganization, kSettingsApplication);
    m_broker->setText(settings.value(kBrokerKey).toString());
    m_panels->setText(settings.value(kPanelsKey).toString());
    m_groups->setText(settings.value(kGroupsKey).toString());
    m_caFile->setText(settings.value(kCaFileKey).toString());
    m_credentialsFile->setText(settings.value(kCredentialsKey).toString());
    m_waitS->setValue(settings.value(kWaitKey, kDefaultWaitS).toInt());
    m_scheduleFile->setText(settings.value(kScheduleKey).toString());
    (settings.value(kWhatKey).toBool() ? m_scheduleChoice : m_windowSetChoice)->setChecked(true);
}

void PublishDialog::saveSettings() const
{
    QSettings settings(kSettingsOrganization, kSettingsApplication);
    settings.setValue(kBrokerKey, m_broker->text().trimmed());
    settings.setValue(kPanelsKey, m_panelNames.join(QStringLiteral(", ")));
    settings.setValue(kGroupsKey, m_groupNames.join(QStringLiteral(", ")));
    settings.setValue(kCaFileKey, m_caFile->text());
    settings.setValue(kCredentialsKey, m_credentialsFile->text());
    settings.setValue(kWaitKey, m_waitS->value());
    settings.setValue(kScheduleKey, m_scheduleFile->text());
    settings.setValue(kWhatKey, m_scheduleChoice->isChecked());
}

bool PublishDialog::readScheduleFile(QString *error)
{
    m_schedule.reset();
    const QString path = m_scheduleFile->text();
    if (path.isEmpty()) {
        *error = tr("Choose the schedule file to publish.");
        return false;
    }
    // The bytes checked are the bytes published; no agent takes more.
    const FileRead file = readFile(path, {fleet::topics::kMaxScheduleBytes, "a schedule"});
    if (!file.ok()) {
        *error = file.error();
        return false;
    }
    // With the built-in font's characters, as the agents read it.
    const ScheduleRead read = readSchedule(file.bytes);
    if (!read.schedule) {
        *error = tr("%1: %2; nothing was published.").arg(path, read.errorText());
        return false;
    }
    m_schedule = file.bytes;
    return true;
}

bool PublishDialog::readFields(fleet::BrokerSettings *settings, QString *error)
{
    // An empty box is an option not given.
    const auto given = [](const QLineEdit *edit) {
        return edit->text().isEmpty() ? std::nullopt : std::optional<QString>(edit->text());
    };
    fleet::BrokerProblem problem;
    const std::optional<fleet::BrokerSettings> read =
        fleet::brokerSettings({m_broker->text().trimmed(), given(m_caFile), given(m_credentialsFile)}, &problem);
    if (!read) {
        const QString label = problem.field == fleet::BrokerProblem::Field::Broker ? tr("Broker")
            : problem.field == fleet::BrokerProblem::Field::TlsCa                  ? tr("TLS CA file")
                                                                                   : tr("Credentials file");
        *error = QStringLiteral("%1: %2").arg(label, problem.detail);
        return false;
    }
    *settings = *read;
    m_panelNames = names(m_panels);
    m_groupNames = names(m_groups);
    if (m_panelNames.isEmpty() && m_groupNames.isEmpty()) {
        *error = tr("Name a panel or a group to publish to.");
        return false;
    }
    for (const QString &name : m_panelNames + m_groupNames) {
        if (const QString why = fleet::names::nameProblem(name); !why.isEmpty()) {
            *error = QStringLiteral("%1: %2").arg(name, why);
            return false;
        }
    }
    return true;
}

void PublishDialog::publish()
{
    if (m_running)
        return;
    m_table->setRowCount(0);
    fleet::BrokerSettings settings;
    QString error;
    if (!readFields(&settings, &error)) {
        end(false, error);
        return;
    }
    // Kept also when the schedule has a fault: it is fixed and tried again.
    saveSettings();
    m_schedule.reset();
    if (m_scheduleChoice->isChecked() && !readScheduleFile(&error)) {
        end(false, error);
        return;
    }

    // A new client for each run: the fields may name another broker.
    m_fleet = std::make_unique<fleet::FleetClient>(settings);
    connect(m_fleet.get(), &fleet::FleetClient::ready, this, &PublishDialog::onReady);
    connect(m_fleet.get(), &fleet::FleetClient::connectionProblem, this, &PublishDialog::onConnectionProblem);
    connect(m_fleet.get(), &fleet::FleetClient::gaveUp, this, &PublishDialog::onGaveUp);
    connect(m_fleet.get(), &fleet::FleetClient::outcomeChanged, this, &PublishDialog::showOutcome);
    connect(m_fleet.get(), &fleet::FleetClient::finished, this, &PublishDialog::onFinished);
    m_waitDeadline.setRemainingTime(qint64(m_waitS->value()) * 1000);
    if (!m_fleet->start(m_waitS->value(), &error)) {
        end(false, error);
        return;
    }
    m_running = true;
    m_publishButton->setEnabled(false);
    m_stopButton->setEnabled(true);
    m_status->setText(tr("Connecting to %1…").arg(settings.url.toString()));
    m_giveUpAt = QTime::currentTime().addSecs(m_waitS->value());
}

void PublishDialog::stop()
{
    if (!m_running)
        return;
    // The client stops trying, and whatever it would still say is no longer
    // wanted; it goes once it has returned to the event loop.
    m_fleet->disconnect(this);
    m_fleet.release()->deleteLater();
    end(false, tr("Stopped."));
}

void PublishDialog::browse(QLineEdit *field, const QString &filter)
{
    const QString path = m_dialogs.openFileName(this, filter, field->text());
    if (!path.isEmpty())
        field->setText(path);
}

void PublishDialog::onConnectionProblem(const QString &reason)
{
    // Only while connecting: once published, the wait is the panels'.
    if (m_running && !m_fleet->isReady())
        m_status->setText(
            tr("%1 — trying again until %2").arg(reason, QLocale().toString(m_giveUpAt, QStringLiteral("HH:mm:ss"))));
}

void PublishDialog::onReady()
{
    // What is left of the wait goes to the panels.
    const int waitS = std::max(1, int((m_waitDeadline.remainingTime() + 999) / 1000));
    QString error;
    const bool started = m_schedule ? m_fleet->publishSchedule(*m_schedule, m_panelNames, m_groupNames, waitS, &error)
                                    : m_fleet->publishSet(m_set, m_panelNames, m_groupNames, waitS, &error);
    if (!started) {
        end(false, error);
        return;
    }
    for (const fleet::PanelOutcome &outcome : m_fleet->outcomes())
        showOutcome(outcome);
    m_status->setText(tr("Published; waiting for the panels…"));
}

void PublishDialog::onGaveUp(const QString &lastProblem)
{
    QString text = tr("Can't reach the broker %1 within %2 s").arg(m_broker->text().trimmed()).arg(m_waitS->value());
    if (!lastProblem.isEmpty())
        text += QStringLiteral(": ") + lastProblem;
    end(false, text + QLatin1Char('.'));
}

void PublishDialog::onFinished(const QList<fleet::PanelOutcome> &outcomes)
{
    int confirmed = 0;
    for (const fleet::PanelOutcome &outcome : outcomes) {
        showOutcome(outcome);
        confirmed += outcome.kind == fleet::PanelOutcome::Kind::Confirmed ? 1 : 0;
    }
    const bool all = confirmed == outcomes.size();
    end(all,
        all ? tr("Every panel confirmed.")
            : tr("%1 of %2 confirmed; the others are named above.").arg(confirmed).arg(outcomes.size()));
}

void PublishDialog::showOutcome(const fleet::PanelOutcome &outcome)
{
    int row = 0;
    while (row < m_table->rowCount() && m_table->item(row, 0)->text() != outcome.panel)
        ++row;
    if (row == m_table->rowCount()) {
        m_table->insertRow(row);
        m_table->setItem(row, 0, new QTableWidgetItem(outcome.panel));
        m_table->setItem(row, 1, new QTableWidgetItem);
    }
    m_table->item(row, 1)->setText(outcome.text);
}

void PublishDialog::end(bool allConfirmed, const QString &text)
{
    m_running = false;
    m_publishButton->setEnabled(true);
    m_stopButton->setEnabled(false);
    m_status->setText(text);
    Q_EMIT publishFinished(allConfirmed);
}

} // namespace varlo
