// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/messagefile.h"
#include "files/readfile.h"
#include "files/recoverycopy.h"
#include "files/replacefile.h"

#include "support/hostiletarget.h"
#include "support/processfaults.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <optional>

#include <fcntl.h>
#include <pwd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace varlo;
using namespace varlo::test;

using Texts = QList<QByteArray>;

Q_DECLARE_METATYPE(varlo::MessageSet)
Q_DECLARE_METATYPE(varlo::FileRead::Status)

namespace {

constexpr int kSlots = MessageSet::kSlotCount;

QByteArray spaces(int count)
{
    return QByteArray(count, ' ');
}

// A message file put together from its parts: the header, the speed codes,
// one record per text (its length byte, then the text) and what comes last.
QByteArray fileOf(const QByteArray &header, const QByteArray &speeds, const Texts &texts,
                  const QByteArray &tail = "END")
{
    QByteArray bytes = header + speeds;
    for (const QByteArray &text : texts)
        bytes += char(text.size()) + text;
    return bytes + tail;
}

// Twenty texts: the given ones first, the rest empty.
Texts texts(const Texts &first = {})
{
    Texts all = first;
    all.resize(kSlots);
    return all;
}

QByteArray speedsOf(const MessageSet &set)
{
    return QByteArray(reinterpret_cast<const char *>(set.speedCodes().data()), kSlots);
}

Texts textsOf(const MessageSet &set)
{
    Texts all;
    for (int i = 0; i < kSlots; ++i)
        all << set.markup(i);
    return all;
}

// What the set holds before a file is read: every slot filled, speed codes no
// file in the table uses, and some run flags cleared, so that whatever a read
// leaves alone shows.
MessageSet previousSet()
{
    MessageSet set;
    for (int i = 0; i < kSlots; ++i) {
        set.setMarkup(i, "was " + QByteArray(1, MessageSet::slotLetter(i)));
        set.setSpeedCode(i, quint8(200 + i));
        set.setRun(i, i % 3 != 0);
    }
    return set;
}

QByteArray previousSpeeds(int from, const QByteArray &first = {})
{
    return first + speedsOf(previousSet()).mid(from);
}

bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QByteArray kAllFours(kSlots, '\x04');
const QByteArray kEmpty58 = spaces(15) + kAllFours + QByteArray(20, '\0') + "END";
const QByteArray kHiHeart62 =
    spaces(15) + QByteArray(1, '\0') + QByteArray(19, '\x04') + QByteArray("\x04HI~H") + QByteArray(19, '\0') + "END";
const QByteArray kHiHeartSpeeds = QByteArray(1, '\0') + QByteArray(19, '\x04');

MessageSet hiHeartSet()
{
    MessageSet set;
    set.clearForNew();
    set.setMarkup(0, "HI~H");
    set.setSpeedCode(0, 0);
    return set;
}

} // namespace

class TestFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void read_data();
    void read();
    void missingFile();
    void notAFile_data();
    void notAFile();
    void readOnlyFileIsRead();
    void megabytesAfterTheTrailerAreIgnored();
    void rejectedBytesSayWhy_data();
    void rejectedBytesSayWhy();
    void readerStopsAtTheLongestFile();
    void recoveryCopyKeepsWhatAFileCannot();
    void damagedRecoveryCopyIsNoCopy_data();
    void damagedRecoveryCopyIsNoCopy();
    void write_data();
    void write();
    void roundTrip_data();
    void roundTrip();
    void savingOverLongerFileLeavesNothingBehind();
    void writeFailure_data();
    void writeFailure();
    void onlyRegularFilesAreReplaced_data();
    void onlyRegularFilesAreReplaced();
    void protectedFilesAreNotReplaced_data();
    void protectedFilesAreNotReplaced();
    void guardedRead_data();
    void guardedRead();
    void replacedFileKeepsOwnerAndMode();
    void hardLinkKeepsTheOldText();
    void longestNamesAreSavedAgain_data();
    void longestNamesAreSavedAgain();
    void killedMidSave();
    void textTooLongIsRefused();

private:
    QTemporaryDir m_dir;
};

void TestFiles::read_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<bool>("replaced"); // false: the set must be exactly as before
    QTest::addColumn<bool>("changed");
    QTest::addColumn<QByteArray>("speeds");
    QTest::addColumn<Texts>("texts");

    const QStringList none;
    const QStringList readError{QString::fromLatin1(messagefile::kReadError)};
    const QStringList endNotFound{QString::fromLatin1(messagefile::kEndNotFound)};
    const QByteArray previous = speedsOf(previousSet());
    const Texts before = textsOf(previousSet());
    const Texts hiHeart = texts({"HI~H"});

    QTest::newRow("58-byte empty set") << kEmpty58 << none << true << true << kAllFours << texts();
    QTest::newRow("62-byte set") << kHiHeart62 << none << true << true << kHiHeartSpeeds << hiHeart;
    QTest::newRow("header with only offset 2 a space") << fileOf("\x01X \xFFheader-junk", kHiHeartSpeeds, hiHeart)
                                                       << none << true << true << kHiHeartSpeeds << hiHeart;
    QTest::newRow("trailer E and two other bytes")
        << fileOf(spaces(15), kHiHeartSpeeds, hiHeart, QByteArray("E\0\xFF", 3)) << none << true << true
        << kHiHeartSpeeds << hiHeart;
    QTest::newRow("junk after the trailer") << (kHiHeart62 + QByteArray("\x07garbage\0\xFF", 10) + kEmpty58) << none
                                            << true << true << kHiHeartSpeeds << hiHeart;
    QTest::newRow("same contents as the set")
        << fileOf(spaces(15), previous, before) << none << true << false << previous << before;

    QTest::newRow("letter at offset 2") << ("  X" + spaces(12) + kEmpty58.mid(15)) << readError << false << false
                                        << previous << before;
    QTest::newRow("zero at offset 2") << (spaces(2) + '\0' + kEmpty58.mid(3)) << readError << false << false << previous
                                      << before;
    QTest::newRow("empty file") << QByteArray() << readError << false << false << previous << before;
    QTest::newRow("2-byte file") << spaces(2) << readError << false << false << previous << before;

    QTest::newRow("lower-case end") << fileOf(spaces(15), kHiHeartSpeeds, hiHeart, "end") << endNotFound << true << true
                                    << kHiHeartSpeeds << hiHeart;
    QTest::newRow("no trailer") << fileOf(spaces(15), kHiHeartSpeeds, hiHeart, "") << endNotFound << true << true
                                << kHiHeartSpeeds << hiHeart;
    QTest::newRow("3 bytes, header accepted") << spaces(3) << endNotFound << true << true << previous << texts();
    QTest::newRow("ends in the speed codes")
        << (spaces(15) + QByteArray("\x00\x01\x02\x03\x04", 5)) << endNotFound << true << true
        << previousSpeeds(5, QByteArray("\x00\x01\x02\x03\x04", 5)) << texts();
    QTest::newRow("ends at a length byte") << (spaces(15) + kHiHeartSpeeds
                                               + "\x04HI~H\x02"
                                                 "AB")
                                           << endNotFound << true << true << kHiHeartSpeeds << texts({"HI~H", "AB"});
    QTest::newRow("ends inside a text") << (spaces(15) + kHiHeartSpeeds
                                            + "\x04HI~H\x0A"
                                              "ABC")
                                        << endNotFound << true << true << kHiHeartSpeeds << texts({"HI~H", "ABC"});
    // The cut record's length byte would swallow the trailer: it is text.
    QTest::newRow("length runs over the trailer")
        << (spaces(15) + kAllFours + QByteArray(19, '\0')
            + "\x05"
              "AB"
              "END")
        << endNotFound << true << true << kAllFours << texts().mid(0, 19) + Texts{"ABEND"};

    QByteArray speed9 = kAllFours;
    speed9[2] = 9;
    QTest::newRow("speed code 9") << fileOf(spaces(15), speed9, texts({"", "", "C"})) << none << true << true << speed9
                                  << texts({"", "", "C"});
    QByteArray speedFF = kAllFours;
    speedFF[19] = '\xFF';
    QTest::newRow("speed code 255") << fileOf(spaces(15), speedFF, texts()) << none << true << true << speedFF
                                    << texts();
    // The zero ends the text, yet the record keeps its stated length.
    QTest::newRow("zero inside a text") << fileOf(spaces(15), kAllFours, texts({QByteArray("AB\0CD", 5), "next"}))
                                        << none << true << true << kAllFours << texts({"AB", "next"});
    QTest::newRow("zero opening a text") << fileOf(spaces(15), kAllFours, texts({QByteArray("\0CD", 3), "next"}))
                                         << none << true << true << kAllFours << texts({"", "next"});
    const Texts escapes = texts({"~B~+bold~A~Fflash~F~~", "\x80\xE9\xFF~R", "", "~", "~H~<~>~P~x~S~O~o"});
    QTest::newRow("escapes and bytes above 0x7F")
        << fileOf(spaces(15), kAllFours, escapes) << none << true << true << kAllFours << escapes;
    const Texts longest = texts({QByteArray(255, 'x'), {}, QByteArray(255, '\xFE')});
    QTest::newRow("255-byte texts") << fileOf(spaces(15), kAllFours, longest) << none << true << true << kAllFours
                                    << longest;
}

void TestFiles::read()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, messages);
    QFETCH(bool, replaced);
    QFETCH(bool, changed);
    QFETCH(QByteArray, speeds);
    QFETCH(Texts, texts);

    const QString path = m_dir.filePath(QStringLiteral("read.vlo"));
    QVERIFY(writeBytes(path, bytes));
    MessageSet set = previousSet();

    const MessageFileReadResult result = readMessageFile(path, set);

    QCOMPARE(result.messages, messages);
    QCOMPARE(result.ok(), messages.isEmpty());
    QCOMPARE(result.replaced(), replaced);
    QCOMPARE(result.changed, changed);
    // A rejected file says why, for the box beneath " File Read Error! ".
    QCOMPARE(result.reason.isEmpty(), replaced);
    if (!replaced)
        QVERIFY(set == previousSet());
    QCOMPARE(speedsOf(set), speeds);
    QCOMPARE(textsOf(set), texts);
    for (int i = 0; i < kSlots; ++i)
        QCOMPARE(set.run(i), previousSet().run(i));
}

void TestFiles::missingFile()
{
    const QString path = m_dir.filePath(QStringLiteral("nowhere/missing.vlo"));
    MessageSet set = previousSet();

    const MessageFileReadResult result = readMessageFile(path, set);

    QCOMPARE(result.messages, QStringList({path + " File No Found !", " File Read Error! "}));
    QCOMPARE(result.status, MessageFileReadResult::Status::Rejected);
    QVERIFY(!result.reason.isEmpty());
    QVERIFY(!result.changed);
    QVERIFY(set == previousSet());
}

void TestFiles::notAFile_data()
{
    QTest::addColumn<QString>("path");

    QTest::newRow("folder") << m_dir.path();
    // Opening a pipe would wait for a writer that never comes.
    const QString pipe = m_dir.filePath(QStringLiteral("pipe.vlo"));
    QVERIFY(mkfifo(QFile::encodeName(pipe).constData(), 0600) == 0);
    QTest::newRow("named pipe") << pipe;
}

void TestFiles::notAFile()
{
    QFETCH(QString, path);
    MessageSet set = previousSet();

    const MessageFileReadResult result = readMessageFile(path, set);

    QCOMPARE(result.messages, QStringList{" File Read Error! "});
    QVERIFY(!result.reason.isEmpty());
    QVERIFY(set == previousSet());
}

void TestFiles::readOnlyFileIsRead()
{
    // Root may open anything for writing, so there this only shows that
    // nothing else stands in the way of a read-only file.
    const QString path = m_dir.filePath(QStringLiteral("readonly.vlo"));
    QVERIFY(writeBytes(path, kHiHeart62));
    QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
    MessageSet set = previousSet();

    const MessageFileReadResult result = readMessageFile(path, set);

    QVERIFY2(result.ok(), qPrintable(result.messages.join(QLatin1Char('|')) + result.reason));
    QCOMPARE(textsOf(set), texts({"HI~H"}));
    QCOMPARE(readBytes(path), kHiHeart62);
}

void TestFiles::megabytesAfterTheTrailerAreIgnored()
{
    const QString path = m_dir.filePath(QStringLiteral("huge.vlo"));
    const MessageSet longest = [] {
        MessageSet set;
        for (int i = 0; i < kSlots; ++i)
            set.setMarkup(i, QByteArray(255, char('a' + i)));
        return set;
    }();
    QVERIFY(writeBytes(path, encodeMessageFile(longest) + QByteArray(8 << 20, '\xAA')));
    MessageSet set;

    const MessageFileReadResult result = readMessageFile(path, set);

    QVERIFY(result.ok());
    QVERIFY(set == longest);
}

void TestFiles::rejectedBytesSayWhy_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("why");
    QTest::newRow("empty") << QByteArray() << QStringLiteral("The file is empty.");
    QTest::newRow("2 bytes") << spaces(2) << QStringLiteral("The file is too short for a message file (2 bytes).");
    QTest::newRow("another kind of file") << QByteArray("\x89PNG\r\n")
            + spaces(60) << QStringLiteral("Not a message file: its header does not have a space at byte 3.");
}

void TestFiles::rejectedBytesSayWhy()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, why);
    MessageSet set = previousSet();
    const MessageFileReadResult result = decodeMessageFile(bytes, set);
    QCOMPARE(result.status, MessageFileReadResult::Status::Rejected);
    QCOMPARE(result.reason, why);
}

namespace {

// What this process has passed to read() so far, by the kernel's count.
std::optional<qint64> bytesReadSoFar()
{
    QFile io(QStringLiteral("/proc/self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return std::nullopt;
    for (const QByteArray &line : io.readAll().split('\n')) {
        if (line.startsWith("rchar:"))
            return line.mid(6).trimmed().toLongLong();
    }
    return std::nullopt;
}

} // namespace

void TestFiles::readerStopsAtTheLongestFile()
{
    // A file of 64 MiB whose first bytes are a message file (most of it a
    // hole, so it costs no disk): the reader must take no more of it than
    // the longest meaningful file, however large it is.
    const QString path = m_dir.filePath(QStringLiteral("vast.vlo"));
    QVERIFY(writeBytes(path, kHiHeart62));
    {
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadWrite));
        QVERIFY(file.resize(qint64(64) << 20));
    }
    const std::optional<qint64> before = bytesReadSoFar();
    if (!before)
        QSKIP("the kernel does not count the bytes a process reads (/proc/self/io)");
    MessageSet set;

    const MessageFileReadResult result = readMessageFile(path, set);

    const qint64 taken = *bytesReadSoFar() - *before;
    QVERIFY(result.ok());
    QCOMPARE(set.markup(0), QByteArray("HI~H"));
    // The count includes a buffer's worth beyond the bytes asked for and the
    // reading of /proc/self/io itself.
    QVERIFY2(taken < 64 * 1024, qPrintable(QString::number(taken)));
}

void TestFiles::recoveryCopyKeepsWhatAFileCannot()
{
    const QString folder = m_dir.filePath(QStringLiteral("state/recovery"));
    const RecoveryCopy copy(folder);
    QVERIFY(!copy.read());
    MessageSet set;
    set.setMarkup(0, QByteArray(300, 'x')); // too long for a message file
    set.setMarkup(5, QByteArray("\0\x80\xFF~H", 5));
    set.setSpeedCode(5, 7);
    set.setSpeedCode(6, 0);
    const QDateTime at(QDate(2026, 3, 4), QTime(10, 42, 35, 120), Qt::UTC);

    QCOMPARE(copy.write(set, QStringLiteral("/shop/a [*].vlo"), at), QString());

    const std::optional<RecoveryCopy::Found> found = copy.read();
    QVERIFY(found);
    for (int i = 0; i < kSlots; ++i) {
        QCOMPARE(found->set.markup(i), set.markup(i));
        QCOMPARE(found->set.speedCode(i), set.speedCode(i));
    }
    QCOMPARE(found->fileName, QStringLiteral("/shop/a [*].vlo"));
    QCOMPARE(found->writtenAt, at);
    // Written in one step: nothing but the copy in its folder.
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("unsaved.json")});
    copy.remove();
    QVERIFY(!copy.read());
    QVERIFY(!QFile::exists(copy.path()));

    const RecoveryCopy nowhere;
    QCOMPARE(nowhere.write(set, QStringLiteral("x.vlo")), QString());
    QVERIFY(!nowhere.read());
}

void TestFiles::damagedRecoveryCopyIsNoCopy_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("cut short") << QByteArray("{\"format\": \"varlo unsaved messages 1\", \"texts\": [");
    QTest::newRow("a message file") << kHiHeart62;
    QTest::newRow("19 texts") << QByteArray(
        "{\"format\":\"varlo unsaved messages 1\",\"fileName\":\"a.vlo\",\"writtenAt\":"
        "\"2026-03-04T10:42:35Z\",\"texts\":[\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\",\"\","
        "\"\",\"\",\"\",\"\",\"\",\"\"],\"speedCodes\":[4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4,4]}");
}

void TestFiles::damagedRecoveryCopyIsNoCopy()
{
    QFETCH(QByteArray, bytes);
    const QString folder = m_dir.filePath(QStringLiteral("damaged"));
    QVERIFY(QDir().mkpath(folder));
    const RecoveryCopy copy(folder);
    QVERIFY(writeBytes(copy.path(), bytes));
    QVERIFY(!copy.read());
}

void TestFiles::write_data()
{
    QTest::addColumn<MessageSet>("set");
    QTest::addColumn<QByteArray>("bytes");

    MessageSet empty;
    empty.clearForNew();
    QTest::newRow("58-byte empty set") << empty << kEmpty58;
    QTest::newRow("62-byte set") << hiHeartSet() << kHiHeart62;

    // Run flags have no place in the file.
    MessageSet stopped = empty;
    for (int i = 0; i < kSlots; ++i)
        stopped.setRun(i, false);
    QTest::newRow("run flags not stored") << stopped << kEmpty58;

    MessageSet odd = empty;
    odd.setSpeedCode(2, 9);
    odd.setMarkup(19, QByteArray(255, '\x80'));
    QTest::newRow("speed 9 and a 255-byte text") << odd
                                                 << (spaces(15) + kAllFours.left(2) + '\x09' + kAllFours.left(17)
                                                     + QByteArray(19, '\0') + '\xFF' + QByteArray(255, '\x80') + "END");
}

void TestFiles::write()
{
    QFETCH(MessageSet, set);
    QFETCH(QByteArray, bytes);
    const QString path = m_dir.filePath(QStringLiteral("write.vlo"));

    const MessageFileWriteResult result = writeMessageFile(path, set);

    QVERIFY2(result.ok(), qPrintable(result.reason));
    QVERIFY(result.message().isEmpty());
    QCOMPARE(readBytes(path), bytes);
}

void TestFiles::roundTrip_data()
{
    QTest::addColumn<MessageSet>("set");

    MessageSet escapes;
    escapes.setMarkup(0, "~B~+bold~A~Fflash~F~~");
    escapes.setMarkup(7, "\x80\x81\xFE\xFF");
    escapes.setMarkup(13, "~");
    escapes.setMarkup(19, "~H~<~>~P~x~S~O~o~R");
    for (int i = 0; i < kSlots; ++i)
        escapes.setSpeedCode(i, quint8(i * 13));
    QTest::newRow("escapes, high bytes, odd speed codes") << escapes;

    MessageSet longest;
    for (int i = 0; i < kSlots; ++i)
        longest.setMarkup(i, QByteArray(255, char(0x20 + i)));
    QTest::newRow("every slot 255 bytes") << longest;

    QTest::newRow("untouched set") << MessageSet();
}

void TestFiles::roundTrip()
{
    QFETCH(MessageSet, set);
    const QString path = m_dir.filePath(QStringLiteral("roundtrip.vlo"));
    QVERIFY(writeMessageFile(path, set).ok());
    MessageSet back = previousSet();

    const MessageFileReadResult result = readMessageFile(path, back);

    QVERIFY(result.ok());
    QCOMPARE(speedsOf(back), speedsOf(set));
    QCOMPARE(textsOf(back), textsOf(set));
}

void TestFiles::savingOverLongerFileLeavesNothingBehind()
{
    const QString path = m_dir.filePath(QStringLiteral("longer.vlo"));
    QVERIFY(writeBytes(path, kHiHeart62 + QByteArray(38, 'Z')));
    MessageSet empty;
    empty.clearForNew();

    QVERIFY(writeMessageFile(path, empty).ok());

    QCOMPARE(readBytes(path), kEmpty58);
}

namespace {

enum class WriteFailure {
    FolderNotWritable,
    FolderVanished,
    ParentIsFile,
    TargetIsFolder,
    FileSizeLimit,
    FileSizeLimitWithSignal,
};

// Saves in a child process, so that what the save needs changed about the
// process (its user, its file size limit, how it takes SIGXFSZ) stays there.
// prepare runs in the child first; the child's result comes back through a
// pipe. Nothing when the child could not be made ready or did not end.
std::optional<MessageFileWriteResult> writeInChild(const QString &path, const MessageSet &set,
                                                   const std::function<bool()> &prepare)
{
    int channel[2];
    if (::pipe(channel) != 0)
        return std::nullopt;
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(channel[0]);
        if (!prepare())
            ::_exit(100);
        const MessageFileWriteResult result = writeMessageFile(path, set);
        const QByteArray reason = result.reason.toUtf8();
        const bool sent = ::write(channel[1], reason.constData(), size_t(reason.size())) == reason.size();
        ::_exit(sent ? int(result.status) : 101);
    }
    ::close(channel[1]);
    QByteArray reason;
    char buffer[256];
    for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;)
        reason.append(buffer, got);
    ::close(channel[0]);
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) >= 100)
        return std::nullopt;
    MessageFileWriteResult result;
    result.status = MessageFileWriteResult::Status(WEXITSTATUS(status));
    result.reason = QString::fromUtf8(reason);
    return result;
}

} // namespace

Q_DECLARE_METATYPE(WriteFailure)

void TestFiles::writeFailure_data()
{
    QTest::addColumn<WriteFailure>("failure");

    QTest::newRow("folder without write permission") << WriteFailure::FolderNotWritable;
    QTest::newRow("folder vanished") << WriteFailure::FolderVanished;
    QTest::newRow("parent is a regular file") << WriteFailure::ParentIsFile;
    QTest::newRow("folder in place of the file") << WriteFailure::TargetIsFolder;
    QTest::newRow("file size limit reached") << WriteFailure::FileSizeLimit;
    // As `ulimit -f` leaves it: the save itself must keep the signal from
    // ending the process on the spot.
    QTest::newRow("file size limit reached, SIGXFSZ at its default") << WriteFailure::FileSizeLimitWithSignal;
}

void TestFiles::writeFailure()
{
    QFETCH(WriteFailure, failure);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString folder = dir.filePath(QStringLiteral("folder"));
    QVERIFY(QDir().mkdir(folder));
    QString path = folder + QStringLiteral("/set.vlo");
    const QByteArray old = kHiHeart62 + "old";
    QVERIFY(writeBytes(path, old));

    // Every slot full, so that the new file is far longer than the old one.
    MessageSet set;
    for (int i = 0; i < kSlots; ++i)
        set.setMarkup(i, QByteArray(255, 'n'));

    std::optional<MessageFileWriteResult> result;
    switch (failure) {
    case WriteFailure::FolderNotWritable: {
        // Anyone may enter both folders and write the file itself, but no
        // one except root may write into the folder.
        const auto readOnly = QFile::ReadOwner | QFile::ExeOwner | QFile::ReadOther | QFile::ExeOther;
        QVERIFY(QFile::setPermissions(dir.path(), readOnly | QFile::WriteOwner));
        QVERIFY(
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther));
        QVERIFY(QFile::setPermissions(folder, readOnly));
        result = writeInChild(path, set, becomeUserWithoutRights);
        QVERIFY(QFile::setPermissions(folder, readOnly | QFile::WriteOwner));
        break;
    }
    case WriteFailure::FolderVanished:
        QVERIFY(QDir(folder).removeRecursively());
        result = writeMessageFile(path, set);
        QVERIFY(!QFile::exists(path));
        break;
    case WriteFailure::ParentIsFile:
        result = writeMessageFile(path + QStringLiteral("/inner.vlo"), set);
        break;
    case WriteFailure::TargetIsFolder:
        path = folder + QStringLiteral("/taken.vlo");
        QVERIFY(QDir().mkdir(path));
        result = writeMessageFile(path, set);
        QVERIFY(QFileInfo(path).isDir());
        path = folder + QStringLiteral("/set.vlo");
        break;
    case WriteFailure::FileSizeLimit:
        result = writeInChild(path, set, [] { return limitFileSize(1000); });
        break;
    case WriteFailure::FileSizeLimitWithSignal:
        result = writeInChild(path, set, [] { return limitFileSizeAsUlimit(1000); });
        QVERIFY2(result.has_value(), "the saving process did not end by itself");
        QCOMPARE(result->reason, qt_error_string(EFBIG));
        break;
    }

    QVERIFY(result.has_value());
    QCOMPARE(result->status, MessageFileWriteResult::Status::Failed);
    QVERIFY(!result->reason.isEmpty());
    QCOMPARE(result->message(), QStringLiteral(" File Write Error! "));
    if (QDir(folder).exists()) {
        QCOMPARE(readBytes(path), old);
        // No half-written temporary file stays behind either.
        const QStringList left = QDir(folder).entryList(QDir::Files | QDir::Hidden);
        QCOMPARE(left, QStringList{QStringLiteral("set.vlo")});
    }
}

void TestFiles::onlyRegularFilesAreReplaced_data()
{
    QTest::addColumn<QString>("kind");

    QTest::newRow("named pipe") << "pipe";
    QTest::newRow("socket") << "socket";
    QTest::newRow("device node") << "device";
    QTest::newRow("link to a named pipe") << "link to pipe";
}

void TestFiles::onlyRegularFilesAreReplaced()
{
    QFETCH(QString, kind);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString node = dir.filePath(QStringLiteral("node"));
    const QByteArray nodeName = QFile::encodeName(node);
    int server = -1;
    if (kind == "pipe" || kind == "link to pipe") {
        QCOMPARE(::mkfifo(nodeName.constData(), 0666), 0);
    } else if (kind == "socket") {
        server = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        QVERIFY(size_t(nodeName.size()) < sizeof address.sun_path);
        qstrcpy(address.sun_path, nodeName.constData());
        QCOMPARE(::bind(server, reinterpret_cast<const sockaddr *>(&address), sizeof address), 0);
    } else if (::mknod(nodeName.constData(), S_IFCHR | 0666, makedev(1, 3)) != 0) {
        // The same device as /dev/null; only root may make one.
        QSKIP("making a device node needs root");
    }
    const QString path = kind == "link to pipe" ? dir.filePath(QStringLiteral("link.vlo")) : node;
    if (path != node)
        QVERIFY(QFile::link(node, path));
    struct stat before
    {};
    QCOMPARE(::lstat(nodeName.constData(), &before), 0);

    const MessageFileWriteResult result = writeMessageFile(path, hiHeartSet());
    if (server >= 0)
        ::close(server);

    QCOMPARE(result.status, MessageFileWriteResult::Status::Failed);
    QCOMPARE(result.message(), QStringLiteral(" File Write Error! "));
    QCOMPARE(result.reason, QStringLiteral("Not a regular file"));
    // The node is the one that was there, and nothing else was made.
    struct stat after
    {};
    QCOMPARE(::lstat(nodeName.constData(), &after), 0);
    QCOMPARE(after.st_ino, before.st_ino);
    QCOMPARE(after.st_mode, before.st_mode);
    QCOMPARE(QFileInfo(path).isSymLink(), path != node);
    QCOMPARE(QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot).size(),
             path == node ? 1 : 2);
}

void TestFiles::protectedFilesAreNotReplaced_data()
{
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("reason");

    // Root could write it, but read-only means "don't change me" to root too.
    QTest::newRow("read-only for its owner") << "read-only" << QStringLiteral("The file is read-only");
    QTest::newRow("link to the read-only file") << "link to read-only" << QStringLiteral("The file is read-only");
    // What the shell sent the program's output to, named by the link that
    // /proc gives every open file.
    QTest::newRow("link to /proc/self/fd/1 while the output goes to a file")
        << "standard output" << QStringLiteral("It is this program's standard output");
}

void TestFiles::protectedFilesAreNotReplaced()
{
    QFETCH(QString, kind);
    QFETCH(QString, reason);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("kept.vlo"));
    QVERIFY(writeBytes(file, kHiHeart62));
    std::optional<MessageFileWriteResult> result;
    if (kind == "standard output") {
        const QByteArray name = QFile::encodeName(file);
        result = writeInChild(QStringLiteral("/proc/self/fd/1"), MessageSet(), [&name] {
            const int output = ::open(name.constData(), O_WRONLY | O_APPEND);
            return output >= 0 && ::dup2(output, STDOUT_FILENO) == STDOUT_FILENO;
        });
    } else {
        QVERIFY(QFile::setPermissions(file, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const QString path = kind == "read-only" ? file : dir.filePath(QStringLiteral("link.vlo"));
        if (path != file)
            QVERIFY(QFile::link(file, path));
        result = writeMessageFile(path, MessageSet());
    }

    QVERIFY(result.has_value());
    QCOMPARE(result->status, MessageFileWriteResult::Status::Failed);
    QCOMPARE(result->reason, reason);
    QCOMPARE(readBytes(file), kHiHeart62);
    const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
    QCOMPARE(left.filter(QStringLiteral(".varlo-save-")), QStringList());
}

void TestFiles::guardedRead_data()
{
    QTest::addColumn<QString>("kind"); // a HostileTarget's, or one of the files below
    QTest::addColumn<FileRead::Status>("status");
    QTest::addColumn<QString>("reason");

    const QString notRegular = QStringLiteral("Not a regular file");
    const QString tooLarge = QStringLiteral("over 1 KB, too large for a test file");
    for (const QString &kind : HostileTarget::readKinds()) {
        const bool sparse = kind.startsWith("sparse");
        QTest::newRow(qPrintable(kind)) << kind << (sparse ? FileRead::Status::TooLarge : FileRead::Status::NotRegular)
                                        << (sparse                 ? tooLarge
                                                : kind == "folder" ? qt_error_string(EISDIR)
                                                                   : notRegular);
    }
    QTest::newRow("missing") << "missing" << FileRead::Status::Missing << qt_error_string(ENOENT);
    QTest::newRow("link to nothing") << "link to nothing" << FileRead::Status::Missing << qt_error_string(ENOENT);
    QTest::newRow("read-only file") << "read-only file" << FileRead::Status::Read << QString();
    QTest::newRow("exactly as large as the limit") << "limit" << FileRead::Status::Read << QString();
    QTest::newRow("one byte over the limit") << "limit + 1" << FileRead::Status::TooLarge << tooLarge;
    // A file of /proc says it is empty; what it holds is read all the same,
    // up to the limit (how much the environment holds varies).
    QTest::newRow("link to /proc/self/environ") << "link to /proc/self/environ" << FileRead::Status::Read << QString();
}

void TestFiles::guardedRead()
{
    QFETCH(QString, kind);
    QFETCH(FileRead::Status, status);
    QFETCH(QString, reason);

    constexpr qint64 kLimit = 1024;
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    QByteArray contents(kind == "limit + 1" ? kLimit + 1 : kLimit, 'v');
    std::optional<HostileTarget> target;
    QString path = dir.filePath(QStringLiteral("file"));
    if (kind == "limit" || kind == "limit + 1") {
        QVERIFY(writeBytes(path, contents));
    } else if (kind == "link to nothing") {
        QVERIFY(QFile::link(dir.filePath(QStringLiteral("nothing")), path));
    } else if (kind != "missing") {
        target.emplace(kind, dir.path(), contents);
        QVERIFY(target->isValid());
        path = target->path();
        if (kind.startsWith("sparse"))
            contents.fill('\0');
    }

    const FileRead read = readFile(path, {kLimit, "a test file"});

    const bool environment = kind == "link to /proc/self/environ";
    if (environment && read.status == FileRead::Status::TooLarge) {
        status = read.status;
        reason = QStringLiteral("over 1 KB, too large for a test file");
    }
    QCOMPARE(read.status, status);
    QCOMPARE(read.reason, reason);
    QCOMPARE(read.path, path);
    if (!reason.isEmpty())
        QCOMPARE(read.error(), path + QStringLiteral(": ") + reason);
    if (environment)
        QVERIFY(!read.bytes.isEmpty() && read.bytes.size() <= kLimit);
    else if (status == FileRead::Status::NotRegular || status == FileRead::Status::Missing)
        QCOMPARE(read.bytes, QByteArray());
    else
        QCOMPARE(read.bytes, contents.left(kLimit));
    if (target)
        QVERIFY(target->isUntouched());
}

void TestFiles::replacedFileKeepsOwnerAndMode()
{
    if (::geteuid() != 0)
        QSKIP("only root can save over another user's file and keep its owner");
    const passwd *nobody = ::getpwnam("nobody");
    const uid_t owner = nobody ? nobody->pw_uid : 65534;
    const gid_t group = nobody ? nobody->pw_gid : 65534;
    const QString path = m_dir.filePath(QStringLiteral("owned.vlo"));
    const QByteArray name = QFile::encodeName(path);
    QVERIFY(writeBytes(path, kHiHeart62));
    QCOMPARE(::chown(name.constData(), owner, group), 0);
    QCOMPARE(::chmod(name.constData(), 0640), 0);
    MessageSet empty;
    empty.clearForNew();

    QVERIFY(writeMessageFile(path, empty).ok());

    QCOMPARE(readBytes(path), kEmpty58);
    struct stat saved
    {};
    QCOMPARE(::stat(name.constData(), &saved), 0);
    QCOMPARE(saved.st_uid, owner);
    QCOMPARE(saved.st_gid, group);
    QCOMPARE(saved.st_mode & 07777, mode_t(0640));
}

void TestFiles::hardLinkKeepsTheOldText()
{
    // A save puts a new file in place of the old one; another name of the
    // old file goes on naming it.
    const QString path = m_dir.filePath(QStringLiteral("linked.vlo"));
    const QString other = m_dir.filePath(QStringLiteral("other-name.vlo"));
    QVERIFY(writeBytes(path, kHiHeart62));
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(other).constData()), 0);
    MessageSet empty;
    empty.clearForNew();

    QVERIFY(writeMessageFile(path, empty).ok());

    QCOMPARE(readBytes(path), kEmpty58);
    QCOMPARE(readBytes(other), kHiHeart62);
}

void TestFiles::longestNamesAreSavedAgain_data()
{
    QTest::addColumn<int>("nameBytes");

    // The temporary file must fit beside the longest names too.
    QTest::newRow("249 bytes") << 249;
    QTest::newRow("255 bytes, the most a name may have") << 255;
}

void TestFiles::longestNamesAreSavedAgain()
{
    QFETCH(int, nameBytes);
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString path = dir.filePath(QString(nameBytes - 4, QLatin1Char('n')) + QStringLiteral(".vlo"));
    MessageSet empty;
    empty.clearForNew();

    const MessageFileWriteResult created = writeMessageFile(path, hiHeartSet());
    const MessageFileWriteResult saved = writeMessageFile(path, empty);

    QVERIFY2(created.ok(), qPrintable(created.reason));
    QVERIFY2(saved.ok(), qPrintable(saved.reason));
    QCOMPARE(readBytes(path), kEmpty58);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

namespace {

// Save number n of the killing test: every slot full, and slot A says n, so
// that each save's file differs from all the others.
QByteArray numberedFile(int n, MessageSet *set = nullptr)
{
    MessageSet numbered;
    for (int i = 0; i < kSlots; ++i)
        numbered.setMarkup(i, QByteArray(255, char('a' + i)));
    numbered.setMarkup(0, QByteArray::number(n).rightJustified(255, '.'));
    if (set)
        *set = numbered;
    return encodeMessageFile(numbered);
}

} // namespace

void TestFiles::killedMidSave()
{
    const QString path = m_dir.filePath(QStringLiteral("killed.vlo"));
    QVERIFY(writeBytes(path, numberedFile(0)));

    // How long one save takes here; the kills fall anywhere in the first
    // three saves after the child says it is saving.
    QElapsedTimer timer;
    timer.start();
    for (int n = 0; n < 3; ++n) {
        MessageSet set;
        numberedFile(0, &set);
        QVERIFY(writeMessageFile(path, set).ok());
    }
    const quint32 spanUs = quint32(qMax<qint64>(timer.nsecsElapsed() / 1000, 300));

    QRandomGenerator random(20240613);
    for (int round = 0; round < 60; ++round) {
        int progress[2];
        QCOMPARE(::pipe(progress), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            // Saves 1, 2, 3 ... and tells the parent after each one.
            ::close(progress[0]);
            for (int n = 1;; ++n) {
                MessageSet set;
                numberedFile(n, &set);
                if (!writeMessageFile(path, set).ok() || ::write(progress[1], "s", 1) != 1)
                    ::_exit(1);
            }
        }
        QVERIFY(child > 0);
        ::close(progress[1]);
        char saved = 0;
        QCOMPARE(::read(progress[0], &saved, 1), ssize_t(1));
        ::usleep(random.bounded(spanUs));
        QCOMPARE(::kill(child, SIGKILL), 0);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL);

        // The file is the last save the child finished, or the one it was
        // finishing when it died (its rename done, its report not yet sent):
        // whole, byte for byte, and never an older one.
        int finished = 1;
        while (::read(progress[0], &saved, 1) == 1)
            ++finished;
        ::close(progress[0]);
        const QByteArray now = readBytes(path);
        QVERIFY2(
            now == numberedFile(finished) || now == numberedFile(finished + 1),
            qPrintable(QStringLiteral("round %1: %2 bytes after %3 saves").arg(round).arg(now.size()).arg(finished)));
    }
}

void TestFiles::textTooLongIsRefused()
{
    const QString path = m_dir.filePath(QStringLiteral("toolong.vlo"));
    const QString fresh = m_dir.filePath(QStringLiteral("toolong-new.vlo"));
    QVERIFY(writeBytes(path, kHiHeart62));
    MessageSet set;
    set.setMarkup(1, QByteArray(255, 'b'));
    set.setMarkup(2, QByteArray(256, 'c'));
    set.setMarkup(5, QByteArray(400, 'f'));

    const MessageFileWriteResult over = writeMessageFile(path, set);
    const MessageFileWriteResult created = writeMessageFile(fresh, set);

    QCOMPARE(over.status, MessageFileWriteResult::Status::TextTooLong);
    QCOMPARE(over.tooLongSlot, 2);
    QCOMPARE(over.message(), QStringLiteral(" Slot C text too long (255 characters at most)! "));
    QCOMPARE(textTooLongMessage(19), QStringLiteral(" Slot T text too long (255 characters at most)! "));
    QCOMPARE(readBytes(path), kHiHeart62);
    QCOMPARE(created.status, MessageFileWriteResult::Status::TextTooLong);
    QVERIFY(!QFile::exists(fresh));
    QVERIFY(encodeMessageFile(set).isEmpty());
}

QTEST_APPLESS_MAIN(TestFiles)
#include "tst_files.moc"
