// SPDX-License-Identifier: GPL-3.0-or-later
// Panels on a broker: the time from publishing a set to a group until every
// panel of the group has confirmed it, for 1, 10 and 50 agents on this
// machine, and the memory of the broker and of the agents.
//
// Everything is real and runs here: a Mosquitto broker on 127.0.0.1, one
// varlo-agent process per panel, each with a virtual panel on a
// pseudo-terminal, and the publisher's side that varlo-cli uses, which
// publishes the set retained to varlo/group/all/messages and follows the
// agents' statuses until each shows the set's hash. Each round publishes
// another set; the figure is the median of the rounds. The agents run with
// no minimum interval and no Commu Delay; the one fixed pause of an upload
// is the 50 ms before its end frame.
//
// Prints rows of the table that bench/run heads.

#include "benchtable.h"

#include "agentfixture.h"
#include "testbroker.h"

#include "files/messagefile.h"
#include "fleet/fleetclient.h"
#include "fleet/fleettopics.h"
#include "support/virtualpanel.h"
#include "support/virtualports.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <memory>
#include <vector>

using namespace varlo;
using namespace varlo::bench;
using namespace varlo::test;

namespace {

constexpr int kRounds = 5;
constexpr int kWaitS = 120;

double rssMb(qint64 pid)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return -1;
}

struct Fleet
{
    TestBroker broker;
    QTemporaryDir states;
    std::vector<std::unique_ptr<VirtualPanel>> panels;
    std::vector<std::unique_ptr<AgentProcess>> agents;
};

struct Figures
{
    double confirmedMs = -1;
    double brokerMb = -1;
    double agentMb = -1;
    QString failure;
};

Figures measure(int agentCount)
{
    Figures figures;
    Fleet fleet;
    if (!fleet.broker.start()) {
        figures.failure = fleet.broker.errorString();
        return figures;
    }
    StatusWatch watch(fleet.broker.settings());
    QString error;
    if (!watch.start(&error)) {
        figures.failure = error;
        return figures;
    }
    for (int i = 0; i < agentCount; ++i) {
        const QString name = QStringLiteral("panel-%1").arg(i + 1, 2, 10, QLatin1Char('0'));
        fleet.panels.push_back(std::make_unique<VirtualPanel>());
        fleet.agents.push_back(std::make_unique<AgentProcess>(
            name,
            QStringList{QStringLiteral("--broker"), fleet.broker.url(), QStringLiteral("--name"), name,
                        QStringLiteral("--group"), QStringLiteral("all"), QStringLiteral("--port"),
                        fleet.panels.back()->slavePath(), QStringLiteral("--state"), fleet.states.filePath(name),
                        QStringLiteral("--min-interval"), QStringLiteral("0"),
                        // Panel health on, and often enough to count in a
                        // short run: a probe a second from each agent.
                        QStringLiteral("--health"), QStringLiteral("1")}));
        if (!fleet.agents.back()->start()) {
            figures.failure = QStringLiteral("%1 did not start").arg(name);
            return figures;
        }
    }
    for (const auto &agent : fleet.agents) {
        if (!watch.waitFor(
                agent->name(), [](const fleet::PanelStatus &s) { return s.online; }, kWaitS * 1000)) {
            figures.failure = QStringLiteral("%1 did not come online").arg(agent->name());
            return figures;
        }
    }

    std::vector<double> rounds;
    for (int round = 0; round < kRounds; ++round) {
        fleet::FleetClient client(fleet.broker.settings());
        bool ready = false;
        QList<fleet::PanelOutcome> outcomes;
        bool finished = false;
        QObject::connect(&client, &fleet::FleetClient::ready, [&] { ready = true; });
        QObject::connect(&client, &fleet::FleetClient::finished, [&](const QList<fleet::PanelOutcome> &list) {
            outcomes = list;
            finished = true;
        });
        if (!client.start(kWaitS, &error) || !waitUntil([&] { return ready; }, kWaitS * 1000)) {
            figures.failure = QStringLiteral("the publisher did not connect");
            return figures;
        }
        MessageSet set;
        set.clearForNew();
        set.setMarkup(0, QStringLiteral("ROUND %1 ~H").arg(round + 1).toLatin1());
        set.setMarkup(1, "~BSALE~A today");
        QElapsedTimer clock;
        clock.start();
        if (!client.publishSet(set, {}, {QStringLiteral("all")}, kWaitS, &error)
            || !waitUntil([&] { return finished; }, (kWaitS + 10) * 1000)) {
            figures.failure = error.isEmpty() ? QStringLiteral("no answer") : error;
            return figures;
        }
        rounds.push_back(double(clock.nsecsElapsed()) / 1e6);
        for (const fleet::PanelOutcome &outcome : outcomes) {
            if (outcome.kind != fleet::PanelOutcome::Kind::Confirmed) {
                figures.failure = outcome.panel + QStringLiteral(": ") + outcome.text;
                return figures;
            }
        }
        if (outcomes.size() != agentCount) {
            figures.failure = QStringLiteral("%1 of %2 panels answered").arg(outcomes.size()).arg(agentCount);
            return figures;
        }
    }
    figures.confirmedMs = median(rounds);
    figures.brokerMb = rssMb(fleet.broker.processId());
    std::vector<double> agentMb;
    for (const auto &agent : fleet.agents)
        agentMb.push_back(rssMb(agent->processId()));
    figures.agentMb = median(agentMb);
    return figures;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    // The fifty virtual panels answer the health probes from this process's
    // threads, on the same cores as the agents and the broker; a real panel
    // answers at once. The agents wait for them as the tests do.
    qputenv("VARLO_PROBE_TIMEOUT_MS", QByteArray::number(VirtualPorts::kWidenedProbeTimeoutMs));
    for (const int count : {1, 10, 50}) {
        const Figures f = measure(count);
        const std::string agents = format("%d agent%s (health probes each second)", count, count == 1 ? "" : "s");
        if (!f.failure.isEmpty()) {
            printRow("publish to a group until every panel confirmed, " + agents,
                     "not measured: " + f.failure.toStdString());
            continue;
        }
        const char *goal = count == 1 ? "<= 500 ms" : count == 10 ? "<= 1 s" : "<= 5 s";
        printRow("publish to a group until every panel confirmed, " + agents, format("%.0f ms", f.confirmedMs), goal);
        printRow("  resident memory: the broker with " + agents + "; one agent (median)",
                 format("%.1f MB; %.1f MB", f.brokerMb, f.agentMb), count == 50 ? "agent <= 15 MB" : "");
    }
    return 0;
}
