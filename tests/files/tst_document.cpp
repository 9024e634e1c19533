// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/document.h"
#include "files/documentname.h"

#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace varlo;

namespace {

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool writeAll(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// What a command may change, to show that it changed none of it.
struct State
{
    MessageSet set;
    QString fileName;
    bool modified;

    explicit State(const Document &document)
        : set(document.messageSet())
        , fileName(document.fileName())
        , modified(document.isModified())
    {
    }
    bool operator==(const State &) const = default;
};

} // namespace

class TestDocument : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void untitledNames_data();
    void untitledNames();
    void extensionRule_data();
    void extensionRule();

    void startsUntitledAndUnchanged();
    void editsAndWhatCountsAsAChange();
    void newDocument_data();
    void newDocument();
    void open_data();
    void open();
    void failedSaveChangesNothing();
};

void TestDocument::untitledNames_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("untitled");
    QTest::newRow("bare") << "untitle.vlo" << true;
    QTest::newRow("any folder") << "/home/u/untitle.vlo" << true;
    QTest::newRow("empty") << "" << true;
    QTest::newRow("folder only") << "/home/u/" << true;
    QTest::newRow("case counts") << "/home/u/Untitle.vlo" << false;
    QTest::newRow("other name") << "/home/u/demo.vlo" << false;
    QTest::newRow("longer name") << "/home/u/my-untitle.vlo" << false;
#ifndef Q_OS_WIN
    QTest::newRow("backslash is a character on Linux") << "x\\untitle.vlo" << false;
#endif
}

void TestDocument::untitledNames()
{
    QFETCH(QString, path);
    QFETCH(bool, untitled);
    QCOMPARE(documentname::isUntitled(path), untitled);
}

void TestDocument::extensionRule_data()
{
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("saved");
    QTest::newRow("bare") << "demo"
                          << "demo.vlo";
    QTest::newRow("dotted folder") << "/tmp/my.dir/demo"
                                   << "/tmp/my.dir/demo.vlo";
    QTest::newRow("own extension") << "demo.txt"
                                   << "demo.txt";
    QTest::newRow("vlo") << "/tmp/demo.vlo"
                         << "/tmp/demo.vlo";
    QTest::newRow("trailing dot") << "demo."
                                  << "demo.";
    QTest::newRow("two dots") << "/tmp/a.b.c"
                              << "/tmp/a.b.c";
}

void TestDocument::extensionRule()
{
    QFETCH(QString, chosen);
    QFETCH(QString, saved);
    QCOMPARE(documentname::withDefaultExtension(chosen), saved);
}

void TestDocument::startsUntitledAndUnchanged()
{
    Document document;
    QCOMPARE(document.fileName(), QStringLiteral("untitle.vlo"));
    QVERIFY(document.isUntitled());
    QVERIFY(!document.isModified());
    QCOMPARE(document.caption(), QStringLiteral("Varlo V3.00                   [untitle.vlo]"));
}

void TestDocument::editsAndWhatCountsAsAChange()
{
    Document document;
    QSignalSpy changed(&document, &Document::slotChanged);

    // The text a slot already holds is no change.
    document.setMarkup(3, QByteArray());
    QVERIFY(!document.isModified());
    QCOMPARE(changed.count(), 0);
    // A run flag is a setting of the upload, never a change of the file.
    document.setRun(3, false);
    QVERIFY(!document.messageSet().run(3));
    QVERIFY(!document.isModified());

    document.setMarkup(3, "HI~H");
    QCOMPARE(document.messageSet().markup(3), QByteArray("HI~H"));
    QVERIFY(document.isModified());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(changed.takeFirst().first().toInt(), 3);

    // A speed step goes round 0 ... 4 and back to 0; a code from a file
    // above 4 goes to 0 too.
    MessageSet set = document.messageSet();
    set.setSpeedCode(5, 4);
    set.setSpeedCode(6, 7);
    document.takeTextsAndSpeedCodes(set);
    document.stepSpeed(5);
    document.stepSpeed(6);
    document.stepSpeed(6);
    QCOMPARE(int(document.messageSet().speedCode(5)), 0);
    QCOMPARE(int(document.messageSet().speedCode(6)), 1);
    QCOMPARE(changed.count(), 3);
}

void TestDocument::newDocument_data()
{
    QTest::addColumn<QByteArray>("text"); // slot B's text before New
    QTest::addColumn<bool>("modifiedBefore");
    QTest::addColumn<bool>("modifiedAfter");

    // New sets no flag of its own: only emptying a text is a change.
    QTest::newRow("empty, unchanged") << QByteArray() << false << false;
    QTest::newRow("empty, changed") << QByteArray() << true << true;
    QTest::newRow("a text") << QByteArray("TEXT") << false << true;
}

void TestDocument::newDocument()
{
    QFETCH(QByteArray, text);
    QFETCH(bool, modifiedBefore);
    QFETCH(bool, modifiedAfter);

    QTemporaryDir dir;
    const QString path = dir.filePath("named.vlo");
    MessageSet saved;
    saved.setMarkup(1, text);
    saved.speedCodes().fill(2);
    QVERIFY(writeAll(path, encodeMessageFile(saved)));

    Document document;
    QVERIFY(document.open(path).ok());
    document.setRun(1, false);
    if (modifiedBefore)
        document.stepSpeed(0);
    QSignalSpy replaced(&document, &Document::slotsReplaced);
    QSignalSpy renamed(&document, &Document::fileNameChanged);

    document.newDocument();
    MessageSet empty;
    empty.clearForNew();
    empty.setRun(1, false);
    QCOMPARE(document.messageSet(), empty);
    QCOMPARE(document.isModified(), modifiedAfter);
    QCOMPARE(document.fileName(), QStringLiteral("untitle.vlo"));
    QCOMPARE(replaced.count(), 1);
    QCOMPARE(renamed.count(), 1);
}

void TestDocument::open_data()
{
    QTest::addColumn<QByteArray>("content"); // empty: no file at all
    QTest::addColumn<bool>("taken");
    QTest::addColumn<QByteArray>("slotA");

    MessageSet set;
    set.setMarkup(0, "FROM FILE");
    set.speedCodes().fill(1);
    const QByteArray good = encodeMessageFile(set);
    QByteArray badHeader = good;
    badHeader[2] = 'Q';
    QByteArray badTrailer = good;
    badTrailer.chop(3);
    badTrailer += "end";

    QTest::newRow("read") << good << true << QByteArray("FROM FILE");
    QTest::newRow("damaged trailer: what was read") << badTrailer << true << QByteArray("FROM FILE");
    QTest::newRow("missing") << QByteArray() << false << QByteArray("MINE");
    QTest::newRow("rejected header") << badHeader << false << QByteArray("MINE");
}

void TestDocument::open()
{
    QFETCH(QByteArray, content);
    QFETCH(bool, taken);
    QFETCH(QByteArray, slotA);

    QTemporaryDir dir;
    const QString path = dir.filePath("set.vlo");
    if (!content.isEmpty())
        QVERIFY(writeAll(path, content));
    Document document;
    document.setMarkup(0, "MINE");
    document.setRun(2, false);
    const State before(document);
    QSignalSpy replaced(&document, &Document::slotsReplaced);

    const MessageFileReadResult result = document.open(path);
    QCOMPARE(result.replaced(), taken);
    QCOMPARE(document.messageSet().markup(0), slotA);
    QVERIFY(!document.messageSet().run(2));
    QCOMPARE(replaced.count(), taken ? 1 : 0);
    if (taken) {
        QCOMPARE(int(document.messageSet().speedCode(19)), 1);
        QCOMPARE(document.fileName(), path);
        QVERIFY(!document.isModified());
    } else {
        QVERIFY(!result.messages.isEmpty());
        QVERIFY(State(document) == before);
    }
}

void TestDocument::failedSaveChangesNothing()
{
    QTemporaryDir dir;
    QVERIFY(writeAll(dir.filePath("file"), "x"));
    Document document;
    document.setMarkup(0, "KEEP");
    const State before(document);
    QSignalSpy saved(&document, &Document::saved);

    // A folder that can't exist: it lies under a file.
    const MessageFileWriteResult failed = document.saveAs(dir.filePath("file/sub/set.vlo"));
    QVERIFY(!failed.ok());
    QVERIFY(!failed.reason.isEmpty());
    QVERIFY(State(document) == before);
    QCOMPARE(saved.count(), 0);

    QSignalSpy renamed(&document, &Document::fileNameChanged);
    const QString path = dir.filePath("set.vlo");
    QVERIFY(document.saveAs(path).ok());
    QCOMPARE(readAll(path), encodeMessageFile(document.messageSet()));
    QCOMPARE(document.fileName(), path);
    QVERIFY(!document.isModified());
    QCOMPARE(renamed.count(), 1);

    // Named now: Save writes there, also without changes.
    document.setMarkup(0, "AGAIN");
    QVERIFY(document.save().ok());
    QCOMPARE(readAll(path), encodeMessageFile(document.messageSet()));
    QVERIFY(!document.isModified());
    QVERIFY(document.save().ok());
    QCOMPARE(renamed.count(), 1);
    QCOMPARE(saved.count(), 3);
    QCOMPARE(saved.last().first().toString(), path);
}

QTEST_GUILESS_MAIN(TestDocument)

#include "tst_document.moc"
