// SPDX-License-Identifier: GPL-3.0-or-later
// The window tests: one executable, one test class per command group.
//
// VARLO_TEST_UI_FONT_PT=N runs them all with a user-interface font of N
// points, as a desktop set to large text gives the program; CTest runs the
// suite once with the platform's font and once so.

#include <QApplication>
#include <QFont>
#include <QTest>

#include <memory>

QObject *makeTestApp();
QObject *makeTestDocuments();
QObject *makeTestUploads();
QObject *makeTestPreview();

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    bool sized = false;
    const int uiFontPt = qEnvironmentVariableIntValue("VARLO_TEST_UI_FONT_PT", &sized);
    if (sized && uiFontPt > 0) {
        QFont font = QApplication::font();
        font.setPointSize(uiFontPt);
        QApplication::setFont(font);
    }
    int failed = 0;
    for (auto make : {makeTestApp, makeTestDocuments, makeTestUploads, makeTestPreview}) {
        std::unique_ptr<QObject> suite(make());
        failed += QTest::qExec(suite.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
