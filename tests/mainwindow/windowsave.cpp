// SPDX-License-Identifier: GPL-3.0-or-later
// A window that saves under a fault, run as a program of its own by the
// document tests, so that what the fault needs changed about the process
// (its user, its file size limit) never reaches the test itself.
//
//   windowsave nobody FILE     as root, become nobody first; save over FILE
//   windowsave filesize FILE   save over FILE with files limited to 1000 bytes
//   windowsave loop FILE       save over FILE again and again until killed
//   windowsave typed FOLDER    a window on FOLDER types into slots A and C,
//                              prints "kept" once the copy of the unsaved
//                              messages is there, and runs until killed
//
// The window opens FILE, slot A gets a new text, and Save writes to FILE.
// After each save it prints "saved 1" or "saved 0", then once "modified 0|1"
// and one line "message TEXT|DETAIL" per box the window showed.

#include "support/appfixture.h"
#include "support/processfaults.h"

#include <QApplication>

#include <cstdio>

using namespace varlo;
using namespace varlo::test;

namespace {

void save(Started &s)
{
    std::printf("saved %d\n", s.save() ? 1 : 0);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc != 3)
        return 2;
    const QByteArray mode = argv[1];
    if (mode == "nobody" && !becomeUserWithoutRights())
        return 3;
    QApplication app(argc, argv);
    const QString path = QString::fromLocal8Bit(argv[2]);

    if (mode == "typed") {
        Started s(path);
        QTest::keyClicks(s.edit(0), QStringLiteral("KEPT"));
        s.find<QAction>(QStringLiteral("Heart1"))->trigger();
        s.edit(2)->setFocus();
        QTest::keyClicks(s.edit(2), QStringLiteral("too"));
        QTest::keyClick(s.speedButton(2), Qt::Key_Space);
        const QString copy = Started::recoveryFolder(path) + QStringLiteral("/unsaved.json");
        while (!QFile::exists(copy))
            QTest::qWait(50);
        std::printf("kept\n");
        std::fflush(stdout);
        return QApplication::exec();
    }

    QTemporaryDir supportFolder;
    Started s(supportFolder.path());
    s.dialogs->openAnswers << path;
    s.trigger("Open1");
    if (s.document().fileName() != path)
        return 4;

    if (mode == "loop") {
        for (int n = 1;; ++n) {
            s.edit(0)->setMarkup(QByteArray::number(n));
            save(s);
        }
    }

    QTest::keyClicks(s.edit(0), QStringLiteral("new"));
    if (mode == "filesize" && !limitFileSize(1000))
        return 5;
    save(s);
    std::printf("modified %d\n", s.document().isModified() ? 1 : 0);
    for (const RecordingDialogs::Shown &shown : s.dialogs->messages)
        std::printf("message %s|%s\n", qPrintable(shown.text),
                    qPrintable(QString(shown.detail).replace(QLatin1Char('\n'), QLatin1String(" | "))));
    return 0;
}
