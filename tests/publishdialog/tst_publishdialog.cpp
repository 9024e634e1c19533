// SPDX-License-Identifier: GPL-3.0-or-later
// File > Publish… as the user runs it: the real window and dialog,
// offscreen, against a real Mosquitto broker on 127.0.0.1 and real
// varlo-agents, each with a virtual panel whose memory the tests read.
#include "agentfixture.h"
#include "support/appfixture.h"
#include "testbroker.h"

#include "mainwindow/publishwindowloader.h"
#include "publishdialog/publishdialog.h"
#include "windowkit/publishwindow.h"
#include "support/virtualports.h"
#include "fleet/sethash.h"

#include <QLineEdit>
#include <QFile>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>

#include <memory>
#include <vector>

using namespace varlo;
using namespace varlo::test;

class TestPublishDialog : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void publishesTheWindowsSetAndNamesEachPanel();
    void publishesAScheduleFile();
    void unreachableBroker();
    void refusedConnectionIsShownAtOnceAndStops();
    void browseFillsTheFileFields_data();
    void browseFillsTheFileFields();
    void refusedFields_data();
    void refusedFields();
    void theProgramsModuleMakesTheWindow();
    void aModuleThatFailsIsSaidAndTriedAgain();

private:
    PublishDialog *openDialog();
    // Runs the dialog's publish; the outcome, or nothing when it never ended.
    std::optional<bool> runPublish(PublishDialog *dialog);
    // Each row of the table as "panel: state".
    static QStringList rows(const PublishDialog *dialog);

    FleetFixture m_fleet;
    std::unique_ptr<Started> m_started;
};

void TestPublishDialog::initTestCase()
{
    useTestUiFont();
}

void TestPublishDialog::init()
{
    // The fixture's ports point XDG_CONFIG_HOME, where the dialog remembers
    // its fields, at a folder of the test's own.
    const QString problem = m_fleet.setUp();
    QVERIFY2(problem.isEmpty(), qPrintable(problem));
    m_started = std::make_unique<Started>(m_fleet.dir->path());
}

void TestPublishDialog::cleanup()
{
    m_started.reset();
    QCOMPARE(m_fleet.tearDown(), QStringList());
}

PublishDialog *TestPublishDialog::openDialog()
{
    m_started->trigger("Publish1");
    auto *dialog = qobject_cast<PublishDialog *>(m_started->window->publishDialog());
    // The settings of an earlier test may be in the process's cache.
    if (dialog) {
        dialog->waitBox()->setValue(60);
        dialog->windowSetChoice()->setChecked(true);
    }
    return dialog;
}

std::optional<bool> TestPublishDialog::runPublish(PublishDialog *dialog)
{
    QSignalSpy finished(dialog, &PublishDialog::publishFinished);
    dialog->publish();
    if (!waitUntil([&] { return !finished.isEmpty(); }, 90000))
        return std::nullopt;
    return finished.first().first().toBool();
}

QStringList TestPublishDialog::rows(const PublishDialog *dialog)
{
    QStringList list;
    const QTableWidget *table = dialog->outcomeTable();
    for (int row = 0; row < table->rowCount(); ++row)
        list << table->item(row, 0)->text() + QStringLiteral(": ") + table->item(row, 1)->text();
    return list;
}

void TestPublishDialog::publishesTheWindowsSetAndNamesEachPanel()
{
    // Panel 2's adapter is unplugged: its agent runs, its upload can't.
    const VirtualPanel &plugged = m_fleet.ports->addPanel(1);
    for (int com : {1, 2}) {
        QVERIFY(m_fleet.startAgent(QStringLiteral("p%1").arg(com), QStringLiteral("COM%1").arg(com),
                                   {QStringLiteral("--group"), QStringLiteral("shop")}));
    }
    m_started->edit(0)->setText(QStringLiteral("FROM THE WINDOW"));
    m_started->edit(2)->setText(QStringLiteral("third"));
    const MessageSet set = m_started->window->document().messageSet();
    QCOMPARE(set.markup(0), QByteArray("FROM THE WINDOW"));

    PublishDialog *dialog = openDialog();
    QVERIFY(dialog);
    QVERIFY(dialog->isVisible());
    QVERIFY(!dialog->isModal());
    dialog->brokerEdit()->setText(m_fleet.broker->url());
    dialog->groupsEdit()->setText(QStringLiteral("shop"));
    QCOMPARE(runPublish(dialog), std::optional<bool>(false));
    QCOMPARE(rows(dialog),
             (QStringList{QStringLiteral("p1: uploaded on COM1"), QStringLiteral("p2: Serial port can't open!")}));
    QString why;
    QVERIFY2(panelview::waitUntilHolds(plugged, set, &why), qPrintable(why));

    // The fields come back in a dialog opened later.
    const PublishDialog later(*m_started->dialogs, nullptr);
    QCOMPARE(later.brokerEdit()->text(), m_fleet.broker->url());
    QCOMPARE(later.groupsEdit()->text(), QStringLiteral("shop"));
    QCOMPARE(later.waitBox()->value(), 60);

    // The panel named alone confirms, and the dialog says so.
    dialog->groupsEdit()->clear();
    dialog->panelsEdit()->setText(QStringLiteral("p1"));
    QCOMPARE(runPublish(dialog), std::optional<bool>(true));
    QCOMPARE(rows(dialog), QStringList{QStringLiteral("p1: uploaded on COM1")});
}

void TestPublishDialog::publishesAScheduleFile()
{
    const VirtualPanel &panel = m_fleet.ports->addPanel(1);
    QVERIFY(m_fleet.startAgent(QStringLiteral("p1"), QStringLiteral("COM1")));
    const auto writeFile = [&](const QString &name, const QByteArray &text) {
        const QString path = m_fleet.dir->filePath(name);
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(text) == text.size() ? path : QString();
    };
    // Whatever the time: one slot that always runs, the others stopped.
    const QByteArray good = "timezone UTC\nA always Welcome ~H\n";
    const QString goodPath = writeFile(QStringLiteral("good.schedule"), good);
    const QString badPath = writeFile(QStringLiteral("bad.schedule"), "A always Hi\nB at noon Lunch\n");
    QVERIFY(!goodPath.isEmpty() && !badPath.isEmpty());

    PublishDialog *dialog = openDialog();
    QVERIFY(dialog);
    dialog->brokerEdit()->setText(m_fleet.broker->url());
    dialog->panelsEdit()->setText(QStringLiteral("p1"));
    QVERIFY(dialog->windowSetChoice()->isChecked());
    // Browse… picks the file and the choice with it.
    m_started->dialogs->openAnswers << goodPath;
    QTest::mouseClick(dialog->findChild<QPushButton *>(QStringLiteral("BrowseScheduleFile")), Qt::LeftButton);
    QCOMPARE(dialog->scheduleFileEdit()->text(), goodPath);
    QVERIFY(dialog->scheduleChoice()->isChecked());
    QCOMPARE(runPublish(dialog), std::optional<bool>(true));
    QCOMPARE(rows(dialog), QStringList{QStringLiteral("p1: runs the schedule; its set uploaded on COM1")});
    MessageSet shown;
    shown.clearForNew();
    shown.setMarkup(0, "Welcome ~H");
    for (int slot = 1; slot < MessageSet::kSlotCount; ++slot)
        shown.setRun(slot, false);
    QString why;
    QVERIFY2(panelview::waitUntilHolds(panel, shown, &why), qPrintable(why));

    // A file with a fault is named with its line, and nothing goes out.
    dialog->scheduleFileEdit()->setText(badPath);
    QCOMPARE(runPublish(dialog), std::optional<bool>(false));
    QVERIFY2(dialog->statusText().startsWith(badPath + QStringLiteral(": line 2")), qPrintable(dialog->statusText()));
    QCOMPARE(dialog->outcomeTable()->rowCount(), 0);
    QCOMPARE(m_fleet.watch->status(QStringLiteral("p1"))->schedule->hash, fleet::hashOfBytes(good));

    // The choice and the file come back in a dialog opened later.
    const PublishDialog later(*m_started->dialogs, nullptr);
    QVERIFY(later.scheduleChoice()->isChecked());
    QCOMPARE(later.scheduleFileEdit()->text(), badPath);
}

void TestPublishDialog::unreachableBroker()
{
    const QString url = m_fleet.broker->url();
    m_fleet.watch.reset();
    m_fleet.broker.reset(); // its port is closed now
    PublishDialog *dialog = openDialog();
    QVERIFY(dialog);
    dialog->brokerEdit()->setText(url);
    dialog->panelsEdit()->setText(QStringLiteral("p1"));
    dialog->waitBox()->setValue(1);
    QCOMPARE(runPublish(dialog), std::optional<bool>(false));
    QVERIFY2(dialog->statusText().startsWith(QStringLiteral("Can't reach the broker %1 within 1 s").arg(url)),
             qPrintable(dialog->statusText()));
    QVERIFY(!dialog->isRunning());
}

void TestPublishDialog::refusedConnectionIsShownAtOnceAndStops()
{
    const QString url = m_fleet.broker->url();
    m_fleet.watch.reset();
    m_fleet.broker.reset(); // its port is closed now: every try is refused
    PublishDialog *dialog = openDialog();
    QVERIFY(dialog);
    dialog->brokerEdit()->setText(url);
    dialog->panelsEdit()->setText(QStringLiteral("p1"));
    dialog->waitBox()->setValue(600);
    QSignalSpy finished(dialog, &PublishDialog::publishFinished);
    auto *stop = dialog->findChild<QPushButton *>(QStringLiteral("StopButton"));
    auto *publish = dialog->findChild<QPushButton *>(QStringLiteral("PublishButton"));
    QVERIFY(stop && publish);
    QVERIFY(!stop->isEnabled());

    dialog->publish();
    QVERIFY(stop->isEnabled());
    // Said while it is still trying, long before the wait is over.
    QVERIFY(waitUntil([&] { return dialog->statusText().contains(QStringLiteral(" — trying again until ")); }, 90000));
    QVERIFY(dialog->isRunning());
    QVERIFY(finished.isEmpty());
    static const QRegularExpression until(QStringLiteral(" — trying again until \\d\\d:\\d\\d:\\d\\d$"));
    QVERIFY2(until.match(dialog->statusText()).hasMatch(), qPrintable(dialog->statusText()));
    QVERIFY2(dialog->statusText().contains(QStringLiteral("refused"), Qt::CaseInsensitive),
             qPrintable(dialog->statusText()));

    QTest::mouseClick(stop, Qt::LeftButton);
    QVERIFY(!dialog->isRunning());
    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.first().first().toBool(), false);
    QCOMPARE(dialog->statusText(), QStringLiteral("Stopped."));
    QVERIFY(!stop->isEnabled());
    QVERIFY(publish->isEnabled());
}

void TestPublishDialog::browseFillsTheFileFields_data()
{
    QTest::addColumn<QString>("button");
    QTest::newRow("CA file") << QStringLiteral("BrowseCaFile");
    QTest::newRow("credentials file") << QStringLiteral("BrowseCredentialsFile");
}

void TestPublishDialog::browseFillsTheFileFields()
{
    QFETCH(QString, button);
    PublishDialog *dialog = openDialog();
    QVERIFY(dialog);
    QLineEdit *field = button == QLatin1String("BrowseCaFile") ? dialog->caFileEdit() : dialog->credentialsFileEdit();
    field->setText(QStringLiteral("/etc/old"));
    auto *browse = dialog->findChild<QPushButton *>(button);
    QVERIFY(browse);
    RecordingDialogs &dialogs = *m_started->dialogs;

    dialogs.openAnswers << QStringLiteral("/srv/chosen.pem");
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(field->text(), QStringLiteral("/srv/chosen.pem"));
    QCOMPARE(dialogs.openPresets, QStringList{QStringLiteral("/etc/old")});

    // Cancelled: the field keeps its file.
    dialogs.openAnswers << QString();
    QTest::mouseClick(browse, Qt::LeftButton);
    QCOMPARE(field->text(), QStringLiteral("/srv/chosen.pem"));
    QCOMPARE(dialogs.unanswered, 0);
}

void TestPublishDialog::refusedFields_data()
{
    QTest::addColumn<QString>("broker");
    QTest::addColumn<QString>("panels");
    QTest::addColumn<QString>("status");

    QTest::newRow("no broker") << ""
                               << "p1"
                               << "Broker: ";
    QTest::newRow("password in the address") << "mqtt://u:p@127.0.0.1"
                                             << "p1"
                                             << "Broker: ";
    QTest::newRow("no panel") << "mqtt://127.0.0.1:1"
                              << " , "
                              << "Name a panel or a group";
    QTest::newRow("slash in a name") << "mqtt://127.0.0.1:1"
                                     << "a/b"
                                     << "a/b: ";
}

void TestPublishDialog::refusedFields()
{
    QFETCH(QString, broker);
    QFETCH(QString, panels);
    QFETCH(QString, status);

    PublishDialog *dialog = openDialog();
    QVERIFY(dialog);
    dialog->brokerEdit()->setText(broker);
    dialog->panelsEdit()->setText(panels);
    dialog->groupsEdit()->clear();
    QCOMPARE(runPublish(dialog), std::optional<bool>(false));
    QVERIFY2(dialog->statusText().startsWith(status), qPrintable(dialog->statusText()));
    QCOMPARE(dialog->outcomeTable()->rowCount(), 0);
}

QTEST_MAIN(TestPublishDialog)
void TestPublishDialog::theProgramsModuleMakesTheWindow()
{
    // The module the build puts where the program looks for it.
    QString error;
    PublishWindow *window = loadPublishWindow(publishModulePath(), *m_started->dialogs, nullptr, &error);
    QVERIFY2(window, qPrintable(error));
    const std::unique_ptr<QDialog> dialog(window->dialog());
    QCOMPARE(dialog->objectName(), QStringLiteral("PublishDialog"));
    QCOMPARE(dialog->metaObject()->className(), "varlo::PublishDialog");
    // Its own copy of the class, not this test's.
    QVERIFY(dialog->metaObject() != &PublishDialog::staticMetaObject);
    QVERIFY(dialog->findChild<QPushButton *>(QStringLiteral("PublishButton")));
}

void TestPublishDialog::aModuleThatFailsIsSaidAndTriedAgain()
{
    QTemporaryDir dir;
    const QString notAModule = dir.filePath(QStringLiteral("publish.so"));
    QFile file(notAModule);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("not a shared object");
    file.close();
    for (const QString &path : {dir.filePath(QStringLiteral("missing.so")), notAModule}) {
        m_started->window->setPublishWindowSource([path](Dialogs &dialogs, QWidget *parent, QString *error) {
            return loadPublishWindow(path, dialogs, parent, error);
        });
        m_started->dialogs->messages.clear();
        m_started->trigger("Publish1");
        QVERIFY(!m_started->window->publishDialog());
        QCOMPARE(m_started->dialogs->messages.size(), 1);
        QCOMPARE(m_started->dialogs->messages[0].text,
                 QStringLiteral("Publish… is not available: its part of the program can't be loaded."));
        QVERIFY2(m_started->dialogs->messages[0].detail.contains(path),
                 qPrintable(m_started->dialogs->messages[0].detail));
    }
    // Once the module is there, the next Publish… opens it.
    m_started->window->setPublishWindowSource(publishModuleSource());
    m_started->trigger("Publish1");
    QVERIFY(m_started->window->publishDialog());
    QVERIFY(m_started->window->publishDialog()->isVisible());
}

#include "tst_publishdialog.moc"
