// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-agent/agentoptions.h"

#include "fleet/brokeroptions.h"
#include "fleet/fleetnames.h"
#include "console/programoutput.h"
#include "model/inputexcerpt.h"

#include <QCommandLineParser>
#include <QDir>
#include <QRegularExpression>

namespace varlo::agent {

namespace {

const QString kName = QStringLiteral("name");
const QString kGroup = QStringLiteral("group");
const QString kPort = QStringLiteral("port");
const QString kDelay = QStringLiteral("delay");
const QString kMinInterval = QStringLiteral("min-interval");
const QString kRetry = QStringLiteral("retry");
const QString kState = QStringLiteral("state");
const QString kHealth = QStringLiteral("health");
const QString kChangedOnly = QStringLiteral("changed-only");
const QString kFullEvery = QStringLiteral("full-every");
const QString kHomeAssistant = QStringLiteral("homeassistant");
const QString kRetire = QStringLiteral("retire");

const char kDescription[] = "Keeps one LED message panel showing what is published for it on an MQTT\n"
                            "broker: the message files published (retained) to varlo/panel/NAME/messages\n"
                            "and to varlo/group/G/messages of each group, slot texts published to\n"
                            "varlo/panel/NAME/slot/A ... T, and fonts to varlo/panel/NAME/font. It says\n"
                            "what it does, retained, on varlo/panel/NAME/status as JSON.\n\n"
                            "Exit status: 0 stopped by SIGTERM, SIGINT or SIGHUP; 1 it could not start\n"
                            "(state folder, credentials, CA file); 2 wrong usage.";

ParsedOptions usageError(const QString &message)
{
    return {std::nullopt, varlo::usageError(message)};
}

// After --help or --version: done, unless the text could not be written.
ParsedOptions info(const QString &text)
{
    return {std::nullopt, printInfo(text)};
}

// A whole number of seconds from lowest to AgentOptions::kMaxSeconds.
std::optional<int> seconds(const QCommandLineParser &parser, const QString &option, int lowest, int fallback,
                           QString *error)
{
    if (!parser.isSet(option))
        return fallback;
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    const QString text = parser.value(option);
    const int value = digits.match(text).hasMatch() ? text.toInt() : -1;
    if (value < lowest || value > AgentOptions::kMaxSeconds) {
        *error = QStringLiteral("--%1 %2: not a whole number from %3 to %4")
                     .arg(option, text)
                     .arg(lowest)
                     .arg(AgentOptions::kMaxSeconds);
        return std::nullopt;
    }
    return value;
}

} // namespace

QString defaultStateFolder(const QString &name)
{
    // systemd may list several folders, separated by colons; ours is the
    // first (the unit asks for one).
    const QString systemd = qEnvironmentVariable("STATE_DIRECTORY").section(QLatin1Char(':'), 0, 0);
    if (!systemd.isEmpty())
        return systemd;
    QString base = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/state");
    return base + QStringLiteral("/varlo/agent-") + name;
}

ParsedOptions parseAgentOptions(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QString::fromLatin1(kDescription));
    fleet::brokeroptions::add(parser);
    parser.addOptions({
        {kName, QStringLiteral("The panel's name in the topics: letters, digits, '-' and '_'."),
         QStringLiteral("NAME")},
        {kGroup, QStringLiteral("A group the panel is in; give it once per group."), QStringLiteral("G")},
        {kPort,
         QStringLiteral("AUTO (the default: find the panel, COM15 down to COM1), COM<n> or <n> for n 1 to 15, "
                        "or a device path, opened without a probe."),
         QStringLiteral("PORT"), QStringLiteral("AUTO")},
        {kDelay, QStringLiteral("Commu Delay position 0 to 10: a pause of N x 50 ms between the steps of an upload."),
         QStringLiteral("N"), QStringLiteral("0")},
        {kMinInterval,
         QStringLiteral("Start no upload sooner than this many seconds after the last (default %1): the panel's "
                        "memory is not known to stand endless rewrites.")
             .arg(AgentOptions::kDefaultMinIntervalS),
         QStringLiteral("SECONDS")},
        {kRetry,
         QStringLiteral("After a failed upload (panel unplugged, port busy) try again this many seconds later "
                        "(default %1).")
             .arg(AgentOptions::kDefaultRetryS),
         QStringLiteral("SECONDS")},
        {kHealth,
         QStringLiteral("While idle, ask the panel every this many seconds whether it is there, with the discovery "
                        "probe (default %1; 0: never). A panel that stops answering is reported as 'no panel'; one "
                        "that answers again gets the set uploaded in full. With a chosen port the probe also comes "
                        "before each upload, and only a panel that answered counts as uploaded.")
             .arg(AgentOptions::kDefaultHealthS),
         QStringLiteral("SECONDS")},
        {kChangedOnly,
         QStringLiteral("Once the agent knows what the panel holds (its last good upload in this run), upload only "
                        "the 64-byte block frames that changed, then the directory and the end frame. This assumes "
                        "the panel keeps its memory between uploads. The first upload of a run, the one after a "
                        "failed upload or a panel that was gone, and one every --full-every seconds go in full.")},
        {kFullEvery,
         QStringLiteral("With --changed-only: upload in full when the last full upload is older than this many "
                        "seconds (default %1).")
             .arg(AgentOptions::kDefaultFullEveryS),
         QStringLiteral("SECONDS")},
        {kState,
         QStringLiteral("Where the agent keeps the set it holds and what it last uploaded (default: "
                        "$STATE_DIRECTORY, else ~/.local/state/varlo/agent-NAME)."),
         QStringLiteral("DIR")},
        {kHomeAssistant,
         QStringLiteral("Announce the panel to Home Assistant (MQTT discovery): each slot as a text entity, the "
                        "last upload as a sensor.")},
        {kRetire,
         QStringLiteral("Instead of running: take the panel off the broker (its retained Home Assistant "
                        "configurations, status and availability, and the agent's session) and end. For a panel "
                        "that is gone for good; stop its agent first.")},
    });
    parser.addHelpOption();
    parser.addOption(versionOption());

    if (!parser.parse(arguments))
        return usageError(inputExcerpt(parser.errorText(), 2 * kExcerptCharacters));
    if (parser.isSet(QStringLiteral("help")))
        return info(parser.helpText());
    if (parser.isSet(QStringLiteral("version")))
        return info(versionText());
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument '%1'").arg(inputExcerpt(parser.positionalArguments().first())));
    fleet::BrokerProblem brokerProblem;
    const std::optional<fleet::BrokerFields> brokerFields = fleet::brokeroptions::read(parser, &brokerProblem);
    if (!brokerFields)
        return usageError(brokerProblem.message);
    if (!parser.isSet(kName))
        return usageError(QStringLiteral("--%1 is missing").arg(kName));

    AgentOptions options;
    QString error;
    options.name = parser.value(kName);
    if (const QString problem = fleet::names::nameProblem(options.name); !problem.isEmpty())
        return usageError(QStringLiteral("--name: %1").arg(problem));
    for (const QString &group : parser.values(kGroup)) {
        if (const QString problem = fleet::names::nameProblem(group); !problem.isEmpty())
            return usageError(QStringLiteral("--group: %1").arg(problem));
        if (!options.groups.contains(group))
            options.groups << group;
    }

    const std::optional<PortChoice> port = PortChoice::parse(parser.value(kPort));
    if (!port)
        return usageError(
            QStringLiteral("--port %1: not AUTO, COM1 to COM15, 1 to 15 or a device path").arg(parser.value(kPort)));
    options.port = *port;

    static const QRegularExpression delayDigits(QStringLiteral("^([0-9]|10)$"));
    if (!delayDigits.match(parser.value(kDelay)).hasMatch())
        return usageError(QStringLiteral("--delay %1: not a whole number from 0 to 10").arg(parser.value(kDelay)));
    options.commuDelayPosition = parser.value(kDelay).toInt();

    const std::optional<int> minInterval = seconds(parser, kMinInterval, 0, AgentOptions::kDefaultMinIntervalS, &error);
    if (!minInterval)
        return usageError(error);
    options.minIntervalS = *minInterval;
    const std::optional<int> retry = seconds(parser, kRetry, 1, AgentOptions::kDefaultRetryS, &error);
    if (!retry)
        return usageError(error);
    options.retryS = *retry;
    const std::optional<int> health = seconds(parser, kHealth, 0, AgentOptions::kDefaultHealthS, &error);
    if (!health)
        return usageError(error);
    options.healthS = *health;
    options.changedOnly = parser.isSet(kChangedOnly);
    const std::optional<int> fullEvery = seconds(parser, kFullEvery, 1, AgentOptions::kDefaultFullEveryS, &error);
    if (!fullEvery)
        return usageError(error);
    options.fullEveryS = *fullEvery;

    options.stateFolder = parser.isSet(kState) ? parser.value(kState) : defaultStateFolder(options.name);
    options.homeAssistant = parser.isSet(kHomeAssistant);
    options.retire = parser.isSet(kRetire);

    // Last: the credentials file is read only once the command line is right.
    const std::optional<fleet::BrokerSettings> broker = fleet::brokerSettings(*brokerFields, &brokerProblem);
    if (!broker) {
        if (brokerProblem.kind == fleet::BrokerProblem::Kind::Usage)
            return usageError(brokerProblem.message);
        printMessage(brokerProblem.message);
        return {std::nullopt, ExitFailed};
    }
    options.broker = *broker;
    return {options, ExitDone};
}

} // namespace varlo::agent
