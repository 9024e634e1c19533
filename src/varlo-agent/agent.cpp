// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-agent/agent.h"

#include "varlo-agent/homeassistant.h"
#include "varlo-agent/payloads.h"
#include "fleet/fleettopics.h"
#include "fleet/sethash.h"
#include "console/uploadwords.h"
#include "link/fontupload.h"
#include "link/messageupload.h"
#include "link/panellink.h"
#include "link/uploadstop.h"
#include "model/inputexcerpt.h"

#include <QCoreApplication>

#include <cstdio>

namespace varlo::agent {

namespace {

using fleet::PanelStatus;
namespace topics = fleet::topics;

// How long the goodbye waits for the broker to take the offline status.
constexpr int kGoodbyeTimeoutMs = 3000;

QDateTime now()
{
    return QDateTime::currentDateTimeUtc();
}

// The first characters of a hash, enough to tell sets apart in a log.
QString shortHash(const QString &hash)
{
    return hash.left(12);
}

} // namespace

Agent::Agent(AgentOptions options, StateFolder folder, KeptState state, fleet::MqttClient &client,
             ScheduleRunner::Clock clock, QObject *parent)
    : QObject(parent)
    , m_options(std::move(options))
    , m_folder(std::move(folder))
    , m_state(std::move(state))
    , m_client(client)
    , m_runner(std::move(clock))
{
    connect(&m_runner, &ScheduleRunner::changed, this, &Agent::onScheduleChanged);
    // A set that stays the same may still change later than the status says
    // (a field showing the hour is looked at every minute).
    connect(&m_runner, &ScheduleRunner::updated, this, [this] {
        if (m_state.schedule && m_runner.state().nextChange != m_statusNextChange)
            publishStatus();
    });
    m_nextUpload.setSingleShot(true);
    connect(&m_nextUpload, &QTimer::timeout, this, &Agent::schedule);
    connect(&m_health, &QTimer::timeout, this, &Agent::probeWhenIdle);
    m_goodbyeTimeout.setSingleShot(true);
    connect(&m_goodbyeTimeout, &QTimer::timeout, this, &Agent::finishStop);
    connect(&m_client, &fleet::MqttClient::connected, this, &Agent::onConnected);
    connect(&m_client, &fleet::MqttClient::disconnected, this, &Agent::onDisconnected);
    connect(&m_client, &fleet::MqttClient::messageReceived, this, &Agent::onMessage);
    connect(&m_client, &fleet::MqttClient::published, this, [this](int messageId) {
        if (m_stopping && messageId == m_goodbyeId)
            finishStop();
    });
}

Agent::~Agent()
{
    dropUpload();
}

void Agent::dropUpload()
{
    // The stop request is the process's, and the agent has no other upload.
    if (m_job && m_job->isRunning())
        UploadStop::request();
    m_job.reset();
    forgetPanelHolding();
}

bool Agent::panelHoldingKnown() const
{
    return m_options.changedOnly && m_panelHolds && !m_refreshSet && m_lastFullUpload.isValid()
        && !m_lastFullUpload.hasExpired(qint64(m_options.fullEveryS) * 1000);
}

void Agent::forgetPanelHolding()
{
    m_panelHolds.reset();
    m_panelHoldsPort.clear();
}

void Agent::holdAfterUpload(const QString &port)
{
    if (m_jobChangedBytes && port != m_panelHoldsPort) {
        // Discovery found a panel on another port than the last upload's:
        // it got the changes to a set it may never have had.
        forgetPanelHolding();
        m_refreshSet = true;
        log(QStringLiteral("the panel is on %1 now, not %2; uploading the set in full").arg(port, m_panelHoldsPort));
        return;
    }
    m_panelHolds = m_jobSet;
    m_panelHoldsPort = port;
    if (!m_jobChangedBytes)
        m_lastFullUpload.start();
}

QString Agent::changedOnlyNote() const
{
    if (m_jobKind != UploadKind::Messages || !m_jobChangedBytes)
        return {};
    return QStringLiteral(" (changed only, %1 bytes)").arg(*m_jobChangedBytes);
}

fleet::LastWill Agent::lastWill(const AgentOptions &options)
{
    // Only the availability: the status stays as the agent last said it, so
    // that what the panel holds is still known while the agent is gone.
    return {topics::panelAvailability(options.name), topics::kOffline, true};
}

void Agent::begin()
{
    log(QStringLiteral("panel on %1, broker %2, state in %3")
            .arg(m_options.port.toString(), m_client.brokerName(), m_folder.path()));
    if (m_options.healthS > 0)
        m_health.start(m_options.healthS * 1000);
    resumeSchedule();
    schedule();
}

void Agent::lookAtClock()
{
    m_runner.update();
}

void Agent::stop()
{
    if (m_stopping)
        return;
    m_stopping = true;
    m_nextUpload.stop();
    m_health.stop();
    log(QStringLiteral("stopping"));
    // A running upload stops at its next byte or pause and lets go of the
    // port.
    dropUpload();
    if (!m_client.isConnected()) {
        finishStop();
        return;
    }
    m_client.publish(topics::panelStatus(m_options.name), status(false).toJson(), true);
    // The broker handles one client's messages in order: once it has this
    // one, it has the status too.
    m_goodbyeId = m_client.publish(topics::panelAvailability(m_options.name), topics::kOffline, true);
    m_goodbyeTimeout.start(kGoodbyeTimeoutMs);
}

void Agent::finishStop()
{
    m_goodbyeTimeout.stop();
    m_client.stop();
    Q_EMIT stopped();
}

QStringList Agent::wantedTopics() const
{
    // Groups first: on a fresh subscription the broker sends the retained
    // sets in this order, and the panel's own is to win.
    QStringList wanted;
    for (const QString &group : m_options.groups)
        wanted << topics::groupMessages(group) << topics::groupSchedule(group);
    wanted << topics::panelMessages(m_options.name) << topics::panelSchedule(m_options.name)
           << topics::panelSlots(m_options.name) << topics::panelFont(m_options.name);
    if (m_options.homeAssistant)
        wanted << homeassistant::kStatusTopic;
    if (m_runner.schedule()) {
        for (const QString &topic : m_runner.schedule()->topics()) {
            if (!wanted.contains(topic))
                wanted << topic;
        }
    }
    return wanted;
}

bool Agent::isWanted(const QString &topic) const
{
    return topic == topics::panelMessages(m_options.name) || topic == topics::panelFont(m_options.name)
        || topics::isUnderSlots(m_options.name, topic) || isScheduleTopic(topic)
        || std::any_of(m_options.groups.begin(), m_options.groups.end(),
                       [&](const QString &group) { return topic == topics::groupMessages(group); });
}

bool Agent::isScheduleTopic(const QString &topic) const
{
    return topic == topics::panelSchedule(m_options.name)
        || std::any_of(m_options.groups.begin(), m_options.groups.end(),
                       [&](const QString &group) { return topic == topics::groupSchedule(group); });
}

bool Agent::isValueTopic(const QString &topic) const
{
    return m_runner.schedule() && m_runner.schedule()->topics().contains(topic);
}

void Agent::updateSubscriptions()
{
    if (!m_client.isConnected())
        return;
    const QStringList wanted = wantedTopics();
    QStringList givenUp;
    QStringList added;
    for (const QString &topic : std::as_const(m_state.topics)) {
        if (!wanted.contains(topic))
            givenUp << topic;
    }
    for (const QString &topic : wanted) {
        if (!m_state.topics.contains(topic))
            added << topic;
    }
    if (!givenUp.isEmpty())
        m_client.unsubscribe(givenUp);
    if (!added.isEmpty())
        m_client.subscribe(added);
    if (m_state.topics != wanted) {
        m_state.topics = wanted;
        keep(m_folder.saveRecord(m_state));
    }
}

void Agent::onConnected(bool sessionPresent)
{
    m_connectionProblems.clear();
    log(QStringLiteral("connected to %1 (%2)")
            .arg(m_client.brokerName(),
                 sessionPresent ? QStringLiteral("the broker kept the session") : QStringLiteral("a new session")));
    const QStringList wanted = wantedTopics();
    QStringList givenUp;
    for (const QString &topic : std::as_const(m_state.topics)) {
        if (!wanted.contains(topic))
            givenUp << topic;
    }
    if (!givenUp.isEmpty())
        m_client.unsubscribe(givenUp);
    // Subscribed on every connection, session or not: the broker then sends
    // the retained payloads again, which catches one that arrived while a
    // previous run of the agent was being killed.
    m_client.subscribe(wanted);
    if (m_state.topics != wanted) {
        m_state.topics = wanted;
        keep(m_folder.saveRecord(m_state));
    }
    m_client.publish(topics::panelAvailability(m_options.name), topics::kOnline, true);
    publishStatus();
    if (m_options.homeAssistant)
        announce();
}

void Agent::onDisconnected(const QString &reason)
{
    // Each reason once until a connection succeeds: a failing attempt may
    // end with two reasons in turn, and the client retries every few
    // seconds for as long as it takes.
    if (m_connectionProblems.contains(reason))
        return;
    m_connectionProblems.insert(reason);
    log(QStringLiteral("no connection to %1: %2; trying again").arg(m_client.brokerName(), reason));
}

qint64 Agent::payloadLimit(const QString &topic) const
{
    if (topics::isUnderSlots(m_options.name, topic))
        return slotPayloadLimit();
    if (topic == topics::panelFont(m_options.name))
        return fontPayloadLimit();
    if (isScheduleTopic(topic))
        return schedulePayloadLimit();
    return messagesPayloadLimit();
}

void Agent::onMessage(const fleet::MqttMessage &message)
{
    if (m_stopping)
        return;
    if (m_options.homeAssistant && message.topic == homeassistant::kStatusTopic) {
        // Answered at most once in a while: anyone may publish "online"
        // there in a loop, and each answer is 21 retained configurations.
        if (message.payload == homeassistant::kOnline
            && (!m_lastAnnounced.isValid() || m_lastAnnounced.hasExpired(kAnnounceGapMs)))
            announce();
        return;
    }
    // A group left since the last run may still deliver until the broker
    // has our unsubscription.
    if (!isWanted(message.topic)) {
        if (isValueTopic(message.topic))
            takeTopicValue(message);
        return;
    }
    const QString payloadHash = message.cut ? message.wholeHash : fleet::hashOfBytes(message.payload);
    // A retained payload comes again on every subscription; one published
    // while subscribed is news even when it repeats the last.
    if (message.retained && m_state.seen.value(message.topic) == payloadHash)
        return;

    const char letter = topics::slotOfTopic(m_options.name, message.topic);
    const bool slotTopic = topics::isUnderSlots(m_options.name, message.topic);
    if (message.payload.isEmpty() && !slotTopic) {
        // A retained set or font taken off the broker: nothing to upload,
        // and the panel keeps what it has.
        if (m_state.seen.remove(message.topic) > 0) {
            log(QStringLiteral("%1: withdrawn; the panel keeps what it shows").arg(message.topic));
            keep(m_folder.saveRecord(m_state));
        }
        // The schedule that runs stops with it; the clock and the topics
        // change the panel no more.
        if (m_state.schedule && m_state.scheduleSource == message.topic) {
            log(QStringLiteral("%1: the schedule stops").arg(message.topic));
            dropSchedule();
            publishStatus();
        }
        return;
    }
    if (slotTopic && letter == 0) {
        // Not remembered as seen: anyone may make up such topics by the
        // thousand.
        refuse(message.topic, payloadHash, QStringLiteral("not a slot: the slots are A to T"));
        return;
    }
    m_state.seen.insert(message.topic, payloadHash);
    if (const qint64 limit = payloadLimit(message.topic); message.wholeSize > limit)
        refuse(message.topic, payloadHash, tooLargeReason(message.wholeSize, limit));
    else if (letter != 0)
        takeSlot(message.topic, letter, message.payload);
    else if (message.topic == topics::panelFont(m_options.name))
        takeFont(message.topic, message.payload);
    else if (isScheduleTopic(message.topic))
        takeSchedule(message.topic, message.payload);
    else
        takeSet(message.topic, message.payload);
}

void Agent::takeSet(const QString &topic, const QByteArray &payload)
{
    const Checked<MessageSet> checked = checkSetPayload(payload);
    if (!checked.value) {
        refuse(topic, fleet::hashOfBytes(payload), checked.problem);
        return;
    }
    dropSchedule();
    setDesired(*checked.value, topic);
}

void Agent::takeSlot(const QString &topic, char letter, const QByteArray &payload)
{
    const Checked<QByteArray> checked = checkSlotPayload(payload, m_state.charMap);
    if (!checked.value) {
        refuse(topic, fleet::hashOfBytes(payload), checked.problem);
        return;
    }
    // The slot changes the set the agent holds; with none, the last one
    // uploaded; with none either, an empty set as New leaves it.
    MessageSet set;
    set.clearForNew();
    if (m_state.desired)
        set = *m_state.desired;
    else if (m_state.uploadedSet)
        set = *m_state.uploadedSet;
    set.setMarkup(MessageSet::slotIndex(letter), *checked.value);
    // A change by hand: the schedule would undo it at its next change.
    dropSchedule();
    setDesired(set, topic);
}

void Agent::takeSchedule(const QString &topic, const QByteArray &payload)
{
    const Checked<Schedule> checked = checkSchedulePayload(payload, m_state.charMap);
    if (!checked.value) {
        refuse(topic, fleet::hashOfBytes(payload), checked.problem);
        return;
    }
    m_state.setSchedule(payload, topic, now());
    m_retryAt = {};
    log(QStringLiteral("%1: schedule %2").arg(topic, shortHash(m_state.scheduleHash)));
    keep(m_folder.saveSchedule(m_state));
    // changed() follows at once, and with it the set of the moment.
    m_runner.run(*checked.value);
    updateSubscriptions();
}

void Agent::resumeSchedule()
{
    if (!m_state.schedule)
        return;
    const Checked<Schedule> checked = checkSchedulePayload(*m_state.schedule, m_state.charMap);
    if (!checked.value) {
        // Only a damaged folder, or an agent of another version, does that.
        log(QStringLiteral("the schedule kept can't run: %1").arg(checked.problem));
        m_state.clearSchedule();
        keep(m_folder.saveSchedule(m_state));
        return;
    }
    log(QStringLiteral("%1: schedule %2 runs again").arg(m_state.scheduleSource, shortHash(m_state.scheduleHash)));
    m_runner.run(*checked.value);
}

void Agent::dropSchedule()
{
    if (!m_state.schedule)
        return;
    m_runner.stop();
    m_state.clearSchedule();
    keep(m_folder.saveSchedule(m_state));
    updateSubscriptions();
}

void Agent::takeTopicValue(const fleet::MqttMessage &message)
{
    const QString payloadHash = message.cut ? message.wholeHash : fleet::hashOfBytes(message.payload);
    if (message.wholeSize > topicValueLimit()) {
        refuse(message.topic, payloadHash, tooLargeReason(message.wholeSize, topicValueLimit()));
        return;
    }
    const Checked<QString> checked = checkTopicValue(message.payload);
    if (!checked.value) {
        refuse(message.topic, payloadHash, checked.problem);
        return;
    }
    // The runner works the set out again when the value is news; the pace
    // of uploads is schedule()'s.
    m_runner.setTopicValue(message.topic, *checked.value);
}

void Agent::onScheduleChanged()
{
    if (!m_state.schedule)
        return;
    const MessageSet &set = m_runner.state().set;
    // Only what the panel would show counts: entries that change and leave
    // the same set upload nothing, but the status names them.
    if (!m_state.desired || fleet::hashOfShownSet(set) != m_state.desiredHash
        || m_state.desiredSource != m_state.scheduleSource)
        setDesired(set, m_state.scheduleSource);
    else
        publishStatus();
}

void Agent::takeFont(const QString &topic, const QByteArray &payload)
{
    const Checked<FontPayload> checked = checkFontPayload(payload);
    if (!checked.value) {
        refuse(topic, fleet::hashOfBytes(payload), checked.problem);
        return;
    }
    m_state.setDesiredFont(checked.value->table, checked.value->file);
    m_retryAt = {};
    log(QStringLiteral("%1: font %2").arg(topic, shortHash(m_state.desiredFontHash)));
    keep(m_folder.saveDesiredFont(m_state));
    readScheduleAgain();
    schedule();
}

void Agent::readScheduleAgain()
{
    if (!m_state.schedule)
        return;
    // The schedule's texts became the old font's codes; with the new map
    // they may be others, may now show, or may no longer.
    const Checked<Schedule> checked = checkSchedulePayload(*m_state.schedule, m_state.charMap);
    if (checked.value) {
        m_runner.run(*checked.value);
        return;
    }
    const QString source = m_state.scheduleSource;
    const QString hash = m_state.scheduleHash;
    // The set of its last moment stays what the panel should show.
    dropSchedule();
    refuse(source, hash, QStringLiteral("with the font now published, %1").arg(checked.problem));
}

void Agent::refuse(const QString &topic, const QString &payloadHash, const QString &reason)
{
    // Below the panel's topics a stranger may make the rest as long as he likes.
    m_refused = PanelStatus::Refusal{inputExcerpt(topic, 3 * kExcerptCharacters), reason, now(), payloadHash};
    // The status says every refusal; the log each kind once, so that a
    // client publishing the same wrong thing in a loop can't fill the disk.
    const QString kind = topic + QLatin1Char('\n') + reason;
    if (!m_refusalsLogged.contains(kind)) {
        if (m_refusalsLogged.size() >= kMaxRefusalsLogged)
            m_refusalsLogged.clear();
        m_refusalsLogged.insert(kind);
        log(QStringLiteral("%1: refused, nothing sent: %2").arg(m_refused->topic, reason));
    }
    keep(m_folder.saveRecord(m_state));
    publishStatus();
}

void Agent::setDesired(const MessageSet &set, const QString &source)
{
    m_state.setDesired(set);
    m_state.desiredSource = source;
    m_state.desiredReceived = now();
    // Something new: no need to wait for the retry of an older failure.
    m_retryAt = {};
    log(QStringLiteral("%1: set %2").arg(source, shortHash(m_state.desiredHash)));
    keep(m_folder.saveDesired(m_state));
    schedule();
}

bool Agent::fontDue() const
{
    return m_state.desiredFont && (!m_state.font || m_state.font->hash != m_state.desiredFontHash || m_refreshFont);
}

bool Agent::setDue() const
{
    return m_state.desired && (!m_state.uploaded || m_state.uploaded->hash != m_state.desiredHash || m_refreshSet);
}

void Agent::schedule()
{
    m_nextUpload.stop();
    if (m_job || m_stopping)
        return;
    const bool fontDue = this->fontDue();
    const bool setDue = this->setDue();
    m_heldUntil = {};
    if (!fontDue && !setDue) {
        m_retryAt = {};
        publishStatus();
        return;
    }

    const QDateTime current = now();
    QDateTime earliest = current;
    if (m_retryAt.isValid() && m_retryAt > earliest)
        earliest = m_retryAt;
    // A clock set back must not hold uploads for longer than the interval.
    if (m_state.lastWriteStart.isValid() && m_state.lastWriteStart > current)
        m_state.lastWriteStart = current;
    if (m_state.lastWriteStart.isValid()) {
        const QDateTime allowed = m_state.lastWriteStart.addSecs(m_options.minIntervalS);
        if (allowed > earliest) {
            m_heldUntil = allowed;
            earliest = allowed;
        }
    }
    if (earliest > current) {
        if (m_heldUntil.isValid())
            log(QStringLiteral("held back until %1: uploads at most every %2 s")
                    .arg(m_heldUntil.toLocalTime().toString(QStringLiteral("HH:mm:ss.zzz")))
                    .arg(m_options.minIntervalS));
        m_nextUpload.start(int(qMax<qint64>(current.msecsTo(earliest), 1)));
        publishStatus();
        return;
    }
    // The font first: the set then shows with the glyphs it was made for.
    startUpload(fontDue ? UploadKind::Font : UploadKind::Messages);
}

void Agent::startUpload(UploadKind kind)
{
    // The same routine as Send and Initial in the window, on a thread of its
    // own: it blocks for as long as the line takes, and meanwhile the agent
    // goes on talking to the broker.
    m_jobKind = kind;
    m_job = std::make_unique<UploadWorker>();
    connect(m_job.get(), &UploadWorker::portOpened, this, &Agent::onOpened);
    connect(m_job.get(), &UploadWorker::finished, this, &Agent::onUploadFinished);
    if (kind == UploadKind::Probe) {
        m_job->start([port = m_options.port](UploadProgress &) { return probePanel(port); });
        return;
    }
    UploadPlan plan;
    if (kind == UploadKind::Font) {
        m_jobHash = m_state.desiredFontHash;
        // Only a font of the character generator's size is taken.
        plan = planFontUpload(*m_state.desiredFont).value();
    } else {
        m_jobSet = *m_state.desired;
        m_jobHash = m_state.desiredHash;
        m_jobChangedBytes.reset();
        if (panelHoldingKnown()) {
            plan = planChangedUpload(*m_panelHolds, m_jobSet, m_options.commuDelayPosition);
            m_jobChangedBytes = plan.lineBytes();
        } else {
            plan = planMessageUpload(m_jobSet, m_options.commuDelayPosition);
        }
    }
    // Discovery probes by itself; a chosen port is asked first.
    const bool probeFirst = m_options.healthS > 0 && !m_options.port.isAutomatic();
    m_jobAnswered = std::make_shared<std::atomic<bool>>(true);
    m_job->start([plan = std::move(plan), port = m_options.port, probeFirst,
                  answered = m_jobAnswered](UploadProgress &progress) {
        if (probeFirst)
            answered->store(probePanel(port).done());
        return runUpload(plan, port, progress);
    });
    publishStatus();
}

void Agent::onOpened(const PortChoice &port)
{
    // The panel's memory is being written from now on: the interval
    // counts from here, and must survive the agent being killed meanwhile.
    m_state.lastWriteStart = now();
    keep(m_folder.saveRecord(m_state));
    log(QStringLiteral("uploading %1 %2 on %3%4")
            .arg(m_jobKind == UploadKind::Font ? QStringLiteral("font") : QStringLiteral("set"), shortHash(m_jobHash),
                 port.toString(), changedOnlyNote()));
}

void Agent::probeWhenIdle()
{
    if (m_job || m_stopping || m_nextUpload.isActive() || fontDue() || setDue())
        return;
    startUpload(UploadKind::Probe);
}

void Agent::setPanelAnswers(bool answers, const QString &reason)
{
    if (m_panelAnswers == answers)
        return;
    const bool cameBack = m_panelAnswers == false && answers;
    m_panelAnswers = answers;
    if (!answers) {
        forgetPanelHolding();
        log(QStringLiteral("no panel answers: %1").arg(reason));
        return;
    }
    if (cameBack) {
        // Back, perhaps blank: everything it should show goes again.
        m_refreshSet = m_state.desired.has_value();
        m_refreshFont = m_state.desiredFont && m_state.font;
        log(QStringLiteral("the panel answers again%1")
                .arg(m_refreshSet || m_refreshFont ? QStringLiteral("; uploading what it should show") : QString()));
    }
}

void Agent::onProbeFinished(const UploadOutcome &outcome)
{
    const std::optional<bool> before = m_panelAnswers;
    setPanelAnswers(outcome.done(), outcome.reason.isEmpty() ? QStringLiteral("no answer") : outcome.reason);
    // Quiet while nothing changes: a probe every few seconds must not
    // publish a status each time.
    if (m_panelAnswers != before || fontDue() || setDue())
        schedule();
}

void Agent::onUploadFinished(const UploadOutcome &outcome)
{
    // The worker emitted this; it goes once the signal has returned.
    m_job.release()->deleteLater();
    if (m_jobKind == UploadKind::Probe) {
        onProbeFinished(outcome);
        return;
    }
    const PanelStatus::Upload record{m_jobHash, now(), outcome.port ? outcome.port->toString() : QString()};
    if (outcome.done() && !m_jobAnswered->load()) {
        // The bytes went out, but nothing says a panel took them.
        const QString reason = QStringLiteral("%1: no panel answered the probe").arg(record.port);
        setPanelAnswers(false, reason);
        forgetPanelHolding();
        m_error = PanelStatus::Problem{QStringLiteral("sent, no panel answered"), reason, now()};
        m_retryAt = now().addSecs(m_options.retryS);
        log(QStringLiteral("sent %1 on %2, but no panel answered; trying again in %3 s")
                .arg(shortHash(m_jobHash), record.port)
                .arg(m_options.retryS));
    } else if (outcome.done()) {
        setPanelAnswers(true, {});
        m_error.reset();
        m_retryAt = {};
        if (m_jobKind == UploadKind::Font) {
            m_refreshFont = false;
            m_state.font = record;
            keep(m_folder.saveRecord(m_state));
        } else {
            m_refreshSet = false;
            m_state.uploadedSet = m_jobSet;
            m_state.uploaded = record;
            keep(m_folder.saveUploaded(m_state));
            holdAfterUpload(record.port);
        }
        log(QStringLiteral("uploaded %1 on %2%3").arg(shortHash(m_jobHash), record.port, changedOnlyNote()));
    } else {
        forgetPanelHolding();
        const QString text = uploadFailureText(outcome.result);
        if (outcome.result == UploadResult::CantFind || outcome.result == UploadResult::CantOpen)
            setPanelAnswers(false, outcome.reason.isEmpty() ? text.trimmed() : outcome.reason);
        m_error = PanelStatus::Problem{text, outcome.reason, now()};
        m_retryAt = now().addSecs(m_options.retryS);
        log(QStringLiteral("upload failed: %1%2; trying again in %3 s")
                .arg(text.trimmed(), outcome.reason.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(outcome.reason))
                .arg(m_options.retryS));
    }
    schedule();
}

void Agent::keep(const QString &saveProblem)
{
    // The agent goes on: the panel matters more than the record. After a
    // restart it may upload once more than it had to.
    if (!saveProblem.isEmpty())
        log(QStringLiteral("can't keep the state: %1").arg(saveProblem));
}

PanelStatus Agent::status(bool online) const
{
    PanelStatus s;
    s.name = m_options.name;
    s.online = online;
    s.groups = m_options.groups;
    s.port = m_options.port.toString();
    if (!online)
        s.state = PanelStatus::State::Offline;
    else if (m_job && m_jobKind != UploadKind::Probe)
        s.state = PanelStatus::State::Uploading;
    else if (m_heldUntil.isValid())
        s.state = PanelStatus::State::Held;
    else if (m_retryAt.isValid())
        s.state = PanelStatus::State::Retrying;
    else if (m_panelAnswers == false)
        s.state = PanelStatus::State::NoPanel;
    if (m_state.desired)
        s.desired = PanelStatus::Desired{m_state.desiredHash, m_state.desiredSource, m_state.desiredReceived};
    s.uploaded = m_state.uploaded;
    if (m_state.uploaded && m_state.uploadedSet) {
        for (int slot = 0; slot < MessageSet::kSlotCount; ++slot)
            s.uploadedSlots << slotDisplayText(m_state.uploadedSet->markup(slot), m_state.charMap);
    }
    s.font = m_state.font;
    s.error = m_error;
    s.refused = m_refused;
    if (m_state.schedule) {
        PanelStatus::ScheduleRun run{
            m_state.scheduleHash, m_state.scheduleSource, m_state.scheduleReceived, {}, m_runner.state().nextChange};
        if (m_runner.schedule()) {
            for (const int index : m_runner.state().activeEntries) {
                const ScheduleEntry &entry = m_runner.schedule()->entries.at(index);
                run.active << PanelStatus::ActiveEntry{MessageSet::slotLetter(entry.slot), entry.line};
            }
        }
        s.schedule = run;
    }
    s.heldUntil = m_heldUntil;
    s.retryAt = m_retryAt;
    s.version = QCoreApplication::applicationVersion();
    s.time = now();
    return s;
}

void Agent::publishStatus()
{
    // While away the broker has the last will; the status follows on
    // reconnecting. QoS 0: a status is published again on every
    // connection, and a copy of an older one that QoS 1 would send again
    // after a reconnection would overwrite the newer.
    if (!m_client.isConnected() || m_stopping)
        return;
    m_statusNextChange = m_runner.state().nextChange;
    m_client.publish(topics::panelStatus(m_options.name), status(true).toJson(), true, 0);
}

void Agent::announce()
{
    m_lastAnnounced.start();
    for (const homeassistant::Announcement &announcement :
         homeassistant::announcementsFor(m_options.name, QCoreApplication::applicationVersion()))
        m_client.publish(announcement.topic, announcement.payload, true);
}

void Agent::log(const QString &text) const
{
    const QByteArray line = QStringLiteral("varlo-agent %1: %2\n").arg(m_options.name, text).toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace varlo::agent
