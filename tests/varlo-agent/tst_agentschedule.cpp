// SPDX-License-Identifier: GPL-3.0-or-later
// varlo-agent running schedules: the real program, a real broker and a
// virtual panel, with the agent's clock set by the test through its
// test-only clock file, so that no test waits for the time of day.
#include "agentfixture.h"

#include "charset/fontfile.h"
#include "files/messagefile.h"
#include "fleet/fleettopics.h"
#include "fleet/sethash.h"
#include "support/savedvariable.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <sys/stat.h>

using namespace varlo;
using namespace varlo::test;
using fleet::PanelStatus;
namespace topics = fleet::topics;

namespace {

// What a schedule puts on the panel: slots from A, each a text and whether
// it runs; the slots after them empty and stopped.
MessageSet shown(const QList<std::pair<QByteArray, bool>> &texts)
{
    MessageSet set;
    set.clearForNew();
    for (int slot = 0; slot < MessageSet::kSlotCount; ++slot)
        set.setRun(slot, false);
    for (int slot = 0; slot < texts.size(); ++slot) {
        set.setMarkup(slot, texts.at(slot).first);
        set.setRun(slot, texts.at(slot).second);
    }
    return set;
}

MessageSet plain(const QByteArray &text)
{
    MessageSet set;
    set.clearForNew();
    set.setMarkup(0, text);
    return set;
}

const QByteArray kDay = "timezone UTC\n"
                        "A mon-fri 07:00-11:00 Breakfast\n"
                        "A mon-fri 11:00-14:30 Lunch\n"
                        "B always Welcome\n"
                        "C 2026-12-24..2026-12-26 Merry Christmas\n"
                        "D 2026-12-31 override Closed today\n";

QDateTime utc(const char *text)
{
    return QDateTime::fromString(QString::fromLatin1(text), Qt::ISODate);
}

QByteArray cyrillicFontFile()
{
    QFile file(QStringLiteral(VARLO_FONTS_DIR "/cyrillic.vlf"));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::function<bool(const PanelStatus &)> refusedOn(const QString &topic, const char *reason)
{
    return [topic, reason](const PanelStatus &s) {
        return s.refused && s.refused->topic == topic && s.refused->reason.contains(QLatin1String(reason));
    };
}

std::function<bool(const PanelStatus &)> runs(const QByteArray &schedule)
{
    const QString hash = fleet::hashOfBytes(schedule);
    return [hash](const PanelStatus &s) { return s.schedule && s.schedule->hash == hash; };
}

} // namespace

class TestAgentSchedule : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void followsTheClock();
    void clockFieldChangesOncePerMinute();
    void topicFieldFollowsItsTopicAtThePace();
    void schedulesAndSetsReplaceEachOther();
    void keptScheduleThatCantRun_data();
    void keptScheduleThatCantRun();
    void textsReadWithThePanelsFont();
    void runningScheduleReadAgainWithANewFont();

private:
    // Sets the agents' clock and waits until the agent has dealt with the
    // new time (it writes the time to the file's .seen beside it).
    bool setClock(const QDateTime &time);
    QString clockFile() const { return m_fleet.dir->filePath(QStringLiteral("clock")); }

    FleetFixture m_fleet;
    std::optional<SavedVariable> m_clockVariable;
};

void TestAgentSchedule::init()
{
    const QString problem = m_fleet.setUp();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    m_clockVariable.emplace("VARLO_AGENT_TEST_CLOCK");
    qputenv("VARLO_AGENT_TEST_CLOCK", QFile::encodeName(clockFile()));
}

void TestAgentSchedule::cleanup()
{
    QCOMPARE(m_fleet.tearDown(), QStringList());
    m_clockVariable.reset();
}

bool TestAgentSchedule::setClock(const QDateTime &time)
{
    const QByteArray text = time.toString(Qt::ISODateWithMs).toLatin1();
    QFile file(clockFile());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(text) != text.size())
        return false;
    file.close();
    // No agent yet: it reads the file as it starts.
    if (m_fleet.agents.empty())
        return true;
    return waitUntil([&] {
        QFile seen(clockFile() + QStringLiteral(".seen"));
        return seen.open(QIODevice::ReadOnly) && seen.readAll() == text;
    });
}

void TestAgentSchedule::followsTheClock()
{
    const VirtualPanel &panel = m_fleet.ports->addPanel(3);
    QVERIFY(setClock(utc("2026-03-02T06:59:00Z")));
    QVERIFY(m_fleet.startAgent(QStringLiteral("p"), QStringLiteral("COM3")));
    QVERIFY(m_fleet.watch->publish(topics::panelSchedule(QStringLiteral("p")), kDay));

    struct Step
    {
        const char *instant;
        MessageSet set;
    };
    // A slot that stops keeps its first entry's text; only its run flag
    // goes.
    const QList<Step> steps = {
        {"2026-03-02T06:59:00Z",
         shown({{"Breakfast", false}, {"Welcome", true}, {"Merry Christmas", false}, {"Closed today", false}})},
        {"2026-03-02T07:00:00Z",
         shown({{"Breakfast", true}, {"Welcome", true}, {"Merry Christmas", false}, {"Closed today", false}})},
        // Across the boundary between two windows of one slot.
        {"2026-03-02T11:00:00Z",
         shown({{"Lunch", true}, {"Welcome", true}, {"Merry Christmas", false}, {"Closed today", false}})},
        {"2026-03-07T12:00:00Z",
         shown({{"Breakfast", false}, {"Welcome", true}, {"Merry Christmas", false}, {"Closed today", false}})},
        {"2026-12-24T12:00:00Z",
         shown({{"Lunch", true}, {"Welcome", true}, {"Merry Christmas", true}, {"Closed today", false}})},
        {"2026-12-31T12:00:00Z",
         shown({{"Breakfast", false}, {"Welcome", false}, {"Merry Christmas", false}, {"Closed today", true}})},
    };
    for (const Step &step : steps) {
        QVERIFY(setClock(utc(step.instant)));
        QString why;
        QVERIFY2(panelview::waitUntilHolds(panel, step.set, &why),
                 qPrintable(QStringLiteral("at %1: %2").arg(QLatin1String(step.instant), why)));
    }
    QCOMPARE(panelview::completedUploads(panel), steps.size());

    // The status names the schedule, the entries that run and the next
    // change (the override ends at midnight).
    QVERIFY(m_fleet.watch->waitFor(QStringLiteral("p"), [&](const PanelStatus &s) {
        return s.schedule && s.uploaded && s.uploaded->hash == fleet::hashOfShownSet(steps.last().set);
    }));
    const PanelStatus status = *m_fleet.watch->status(QStringLiteral("p"));
    QCOMPARE(status.schedule->hash, fleet::hashOfBytes(kDay));
    QCOMPARE(status.schedule->source, topics::panelSchedule(QStringLiteral("p")));
    QCOMPARE(status.schedule->active, (QList<PanelStatus::ActiveEntry>{{'D', 6}}));
    QCOMPARE(status.schedule->nextChange, utc("2027-01-01T00:00:00Z"));
    QCOMPARE(status.desired->source, topics::panelSchedule(QStringLiteral("p")));
}

void TestAgentSchedule::clockFieldChangesOncePerMinute()
{
    const VirtualPanel &panel = m_fleet.ports->addPanel(4);
    QVERIFY(setClock(utc("2026-03-02T10:00:00Z")));
    QVERIFY(m_fleet.startAgent(QStringLiteral("p"), QStringLiteral("COM4")));
    QVERIFY(m_fleet.watch->publish(topics::panelSchedule(QStringLiteral("p")),
                                   "timezone UTC\nA always Now {time:HH:mm}\n"));
    QString why;
    QVERIFY2(panelview::waitUntilHolds(panel, shown({{"Now 10:00", true}}), &why), qPrintable(why));

    // Within the minute the agent looks at the clock, and sends nothing.
    for (const char *instant : {"2026-03-02T10:00:20Z", "2026-03-02T10:00:40Z", "2026-03-02T10:00:59.999Z"})
        QVERIFY(setClock(utc(instant)));
    QVERIFY(setClock(utc("2026-03-02T10:01:00Z")));
    QVERIFY2(panelview::waitUntilHolds(panel, shown({{"Now 10:01", true}}), &why), qPrintable(why));
    QCOMPARE(panelview::completedUploads(panel), 2);

    // A field that shows the hour leaves the set as it is for an hour, but
    // the status still says when the agent looks next.
    const QByteArray hourly = "timezone UTC\nA always Hour {time:HH}\n";
    QVERIFY(m_fleet.watch->publish(topics::panelSchedule(QStringLiteral("p")), hourly));
    QVERIFY2(panelview::waitUntilHolds(panel, shown({{"Hour 10", true}}), &why), qPrintable(why));
    QVERIFY(setClock(utc("2026-03-02T10:02:00Z")));
    QVERIFY(m_fleet.watch->waitFor(QStringLiteral("p"), [](const PanelStatus &s) {
        return s.schedule && s.schedule->nextChange == utc("2026-03-02T10:03:00Z");
    }));
    QCOMPARE(panelview::completedUploads(panel), 3);
}

void TestAgentSchedule::topicFieldFollowsItsTopicAtThePace()
{
    constexpr int kIntervalS = 3;
    const QString temperature = QStringLiteral("sensors/hall/temperature");
    const VirtualPanel &panel = m_fleet.ports->addPanel(5);
    QVERIFY(setClock(utc("2026-03-02T10:00:00Z")));
    QVERIFY(m_fleet.startAgent(QStringLiteral("p"), QStringLiteral("COM5"),
                               {QStringLiteral("--min-interval"), QString::number(kIntervalS)}));
    QVERIFY(m_fleet.watch->publish(temperature, "20.4"));
    QVERIFY(m_fleet.watch->publish(topics::panelSchedule(QStringLiteral("p")),
                                   "timezone UTC\nA always Hall {topic:sensors/hall/temperature|%.0f}C\n"));
    // The retained value comes once the agent subscribes to the topic.
    QString why;
    QVERIFY2(panelview::waitUntilHolds(panel, shown({{"Hall 20C", true}}), &why), qPrintable(why));
    const int before = panelview::completedUploads(panel);

    // Two values at once: the first is held back by the minimum interval,
    // then replaced by the second before its turn comes.
    QVERIFY(m_fleet.watch->publish(temperature, "23.2", false));
    QVERIFY(m_fleet.watch->publish(temperature, "24.9", false));
    QVERIFY(m_fleet.watch->waitFor(QStringLiteral("p"), [](const PanelStatus &s) {
        return s.state == PanelStatus::State::Held && s.heldUntil.isValid();
    }));
    QVERIFY2(panelview::waitUntilHolds(panel, shown({{"Hall 25C", true}}), &why), qPrintable(why));
    QCOMPARE(panelview::completedUploads(panel), before + 1);

    // A value no schedule can show is refused like a payload, and the
    // panel keeps the last good one.
    QVERIFY(m_fleet.watch->publish(temperature, QByteArray(2000, '9'), false));
    QVERIFY(m_fleet.watch->waitFor(QStringLiteral("p"), [&](const PanelStatus &s) {
        return s.refused && s.refused->topic == temperature && s.refused->reason.contains(QLatin1String("too large"));
    }));
    QVERIFY(m_fleet.watch->publish(temperature, "caf\xE9", false));
    QVERIFY(m_fleet.watch->waitFor(QStringLiteral("p"), [&](const PanelStatus &s) {
        return s.refused && s.refused->reason.contains(QLatin1String("not UTF-8"));
    }));
    why = panelview::difference(panel, shown({{"Hall 25C", true}}));
    QVERIFY2(why.isEmpty(), qPrintable(why));
}

void TestAgentSchedule::schedulesAndSetsReplaceEachOther()
{
    const QString panelName = QStringLiteral("p");
    const VirtualPanel &panel = m_fleet.ports->addPanel(6);
    QVERIFY(setClock(utc("2026-03-02T08:00:00Z")));
    const QStringList extra{QStringLiteral("--group"), QStringLiteral("g")};
    AgentProcess *agent = m_fleet.startAgent(panelName, QStringLiteral("COM6"), extra);
    QVERIFY(agent);
    QString why;

    QVERIFY(m_fleet.watch->publish(topics::panelSchedule(panelName), kDay));
    QVERIFY2(panelview::waitUntilHolds(
                 panel,
                 shown({{"Breakfast", true}, {"Welcome", true}, {"Merry Christmas", false}, {"Closed today", false}}),
                 &why),
             qPrintable(why));
    QVERIFY(m_fleet.watch->waitFor(panelName, runs(kDay)));

    // A set replaces the schedule: the clock changes the panel no more.
    const MessageSet set = plain("PLAIN");
    QVERIFY(m_fleet.watch->publish(topics::panelMessages(panelName), encodeMessageFile(set)));
    QVERIFY2(panelview::waitUntilHolds(panel, set, &why), qPrintable(why));
    QVERIFY(m_fleet.watch->waitFor(panelName, [](const PanelStatus &s) { return !s.schedule; }));
    const int uploads = panelview::completedUploads(panel);
    QVERIFY(setClock(utc("2026-03-02T12:00:00Z")));

    // A group's schedule, newer, replaces the panel's own set.
    const QByteArray groupSchedule = "timezone UTC\nA always Group {time:HH}h\n";
    QVERIFY(m_fleet.watch->publish(topics::groupSchedule(QStringLiteral("g")), groupSchedule));
    QVERIFY2(panelview::waitUntilHolds(panel, shown({{"Group 12h", true}}), &why), qPrintable(why));
    QVERIFY(m_fleet.watch->waitFor(panelName, runs(groupSchedule)));
    QCOMPARE(m_fleet.watch->status(panelName)->schedule->source, topics::groupSchedule(QStringLiteral("g")));
    // The time set while the set ran sent nothing.
    QCOMPARE(panelview::completedUploads(panel), uploads + 1);
    const int beforeRestart = uploads + 1;

    // Kept across a restart: the agent runs it on and uploads nothing it
    // has uploaded, until the clock says so.
    // Once the agent has recorded the upload: the panel has the bytes a
    // moment before, and an upload cut short by the stop is sent again.
    QVERIFY(m_fleet.watch->waitFor(panelName, [&](const PanelStatus &s) {
        return runs(groupSchedule)(s) && s.desired && s.uploaded && s.uploaded->hash == s.desired->hash;
    }));
    QCOMPARE(agent->terminate(), 0);
    m_fleet.agents.clear();
    agent = m_fleet.startAgent(panelName, QStringLiteral("COM6"), extra);
    QVERIFY(agent);
    QVERIFY(
        m_fleet.watch->waitFor(panelName, [&](const PanelStatus &s) { return s.online && runs(groupSchedule)(s); }));
    QVERIFY(setClock(utc("2026-03-02T12:30:00Z")));
    QVERIFY(setClock(utc("2026-03-02T13:00:00Z")));
    QVERIFY2(panelview::waitUntilHolds(panel, shown({{"Group 13h", true}}), &why), qPrintable(why));
    QCOMPARE(panelview::completedUploads(panel), beforeRestart + 1);
    QVERIFY2(agent->log().contains(QLatin1String("runs again")), qPrintable(agent->log()));

    // Taken off the broker, the schedule stops; the panel keeps its set.
    QVERIFY(m_fleet.watch->publish(topics::groupSchedule(QStringLiteral("g")), QByteArray()));
    QVERIFY(m_fleet.watch->waitFor(panelName, [](const PanelStatus &s) { return !s.schedule; }));
    const int stopped = panelview::completedUploads(panel);
    QVERIFY(setClock(utc("2026-03-02T14:00:00Z")));
    const MessageSet later = plain("LATER");
    QVERIFY(m_fleet.watch->publish(topics::panelMessages(panelName), encodeMessageFile(later)));
    QVERIFY2(panelview::waitUntilHolds(panel, later, &why), qPrintable(why));
    QCOMPARE(panelview::completedUploads(panel), stopped + 1);
}

void TestAgentSchedule::keptScheduleThatCantRun_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: a named pipe
    QTest::addColumn<QString>("said");

    // Edited by hand in the state folder, say.
    QTest::newRow("a fault") << QByteArray("A always Hi\nB sometimes Bye\n")
                             << "the schedule kept can't run: not a schedule: line 2";
    QTest::newRow("a named pipe") << QByteArray() << "schedule.txt: Not a regular file; left out";
}

void TestAgentSchedule::keptScheduleThatCantRun()
{
    QFETCH(QByteArray, content);
    QFETCH(QString, said);

    const QString folder = m_fleet.dir->filePath(QStringLiteral("p"));
    QVERIFY(QDir().mkpath(folder));
    QFile record(folder + QStringLiteral("/state.json"));
    QVERIFY(record.open(QIODevice::WriteOnly) && record.write(R"({"schedule_source":"varlo/panel/p/schedule"})") > 0);
    record.close();
    const QString schedule = folder + QStringLiteral("/schedule.txt");
    if (content.isEmpty()) {
        QCOMPARE(::mkfifo(QFile::encodeName(schedule).constData(), 0600), 0);
    } else {
        QFile file(schedule);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(content) == content.size());
    }
    m_fleet.ports->addPanel(7);
    AgentProcess *agent = m_fleet.startAgent(QStringLiteral("p"), QStringLiteral("COM7"));
    QVERIFY(agent);
    // It starts without one, and a schedule published later runs.
    QVERIFY(!m_fleet.watch->status(QStringLiteral("p"))->schedule);
    QVERIFY2(agent->log().contains(said), qPrintable(agent->log()));
    const QByteArray good = "A always Fine\n";
    QVERIFY(m_fleet.watch->publish(topics::panelSchedule(QStringLiteral("p")), good));
    QVERIFY(m_fleet.watch->waitFor(QStringLiteral("p"), runs(good)));
}

void TestAgentSchedule::textsReadWithThePanelsFont()
{
    const QString name = QStringLiteral("p");
    const QString hall = QStringLiteral("sensors/hall/name");
    const QByteArray font = cyrillicFontFile();
    const FontFileRead read = readFontFile(font);
    QVERIFY(read.font);
    const PanelCharMap map = read.font->charMap();
    const auto codes = [&](const QString &text) {
        const PanelCharMap::Conversion converted = map.fromText(text);
        return converted.undrawable ? QByteArray() : converted.bytes;
    };
    const QByteArray greeting = codes(QStringLiteral("Привет"));
    QCOMPARE(greeting.size(), 6);
    const QByteArray schedule = QStringLiteral("timezone UTC\nA always Привет {topic:sensors/hall/name}\n").toUtf8();

    const VirtualPanel &panel = m_fleet.ports->addPanel(7);
    QVERIFY(setClock(utc("2026-03-02T10:00:00Z")));
    AgentProcess *agent = m_fleet.startAgent(name, QStringLiteral("COM7"));
    QVERIFY(agent);
    QVERIFY(m_fleet.watch->publish(hall, QStringLiteral("Зал").toUtf8()));

    // The built-in font has no Cyrillic letters: both are refused.
    QVERIFY(m_fleet.watch->publish(topics::panelSlot(name, 'A'), QStringLiteral("Привет").toUtf8(), false));
    QVERIFY(m_fleet.watch->waitFor(name, refusedOn(topics::panelSlot(name, 'A'), "can't draw")));
    QVERIFY(m_fleet.watch->publish(topics::panelSchedule(name), schedule, false));
    QVERIFY(m_fleet.watch->waitFor(name, refusedOn(topics::panelSchedule(name), "can't show")));

    QVERIFY(m_fleet.watch->publish(topics::panelFont(name), font));
    QVERIFY(m_fleet.watch->waitFor(name, [](const PanelStatus &s) { return s.font.has_value(); }));
    QVERIFY(m_fleet.watch->publish(topics::panelSlot(name, 'A'), QStringLiteral("Привет").toUtf8(), false));
    QString why;
    QVERIFY2(panelview::waitUntilHolds(panel, plain(greeting), &why), qPrintable(why));
    // The status names it as the font's labels have it.
    QVERIFY(m_fleet.watch->waitFor(
        name, [](const PanelStatus &s) { return s.uploadedSlots.value(0) == QStringLiteral("Привет"); }));
    // The schedule's text and the value of its field alike.
    QVERIFY(m_fleet.watch->publish(topics::panelSchedule(name), schedule, false));
    QVERIFY2(panelview::waitUntilHolds(panel, shown({{greeting + ' ' + codes(QStringLiteral("Зал")), true}}), &why),
             qPrintable(why));

    // The map is kept with the font: the schedule runs again after a
    // restart, and new texts still read as Cyrillic.
    QCOMPARE(agent->terminate(), 0);
    QVERIFY(m_fleet.startAgent(name, QStringLiteral("COM7")));
    QVERIFY(m_fleet.watch->waitFor(name, runs(schedule)));
    // Retained: the agent subscribes to the topic again as the schedule
    // resumes, and the broker then sends the retained value once more.
    QVERIFY(m_fleet.watch->publish(hall, QStringLiteral("Кухня").toUtf8()));
    QVERIFY2(panelview::waitUntilHolds(panel, shown({{greeting + ' ' + codes(QStringLiteral("Кухня")), true}}), &why),
             qPrintable(why));
    QVERIFY(m_fleet.watch->publish(topics::panelSlot(name, 'A'), QStringLiteral("Пока").toUtf8(), false));
    QVERIFY2(panelview::waitUntilHolds(panel, plain(codes(QStringLiteral("Пока"))), &why), qPrintable(why));
}

void TestAgentSchedule::runningScheduleReadAgainWithANewFont()
{
    // é is a letter of the built-in font only: a schedule that shows it
    // can't run once the panel is to hold the Cyrillic font.
    const QString name = QStringLiteral("p");
    const QByteArray schedule = QStringLiteral("timezone UTC\nA always Café\n").toUtf8();
    const VirtualPanel &panel = m_fleet.ports->addPanel(8);
    QVERIFY(setClock(utc("2026-03-02T10:00:00Z")));
    QVERIFY(m_fleet.startAgent(name, QStringLiteral("COM8")));
    QVERIFY(m_fleet.watch->publish(topics::panelSchedule(name), schedule));
    QString why;
    QVERIFY2(panelview::waitUntilHolds(panel, shown({{"Caf\x82", true}}), &why), qPrintable(why));

    QVERIFY(m_fleet.watch->publish(topics::panelFont(name), cyrillicFontFile()));
    QVERIFY(m_fleet.watch->waitFor(name, [&](const PanelStatus &s) {
        return refusedOn(topics::panelSchedule(name), "with the font now published")(s) && !s.schedule;
    }));
}

QTEST_GUILESS_MAIN(TestAgentSchedule)
#include "tst_agentschedule.moc"
