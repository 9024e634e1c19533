// SPDX-License-Identifier: GPL-3.0-or-later
// The window tests: one executable, one test class per command group.

#include <QApplication>
#include <QTest>

#include <memory>

QObject *makeTestApp();
QObject *makeTestDocuments();
QObject *makeTestUploads();
QObject *makeTestPreview();

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    int failed = 0;
    for (auto make : {makeTestApp, makeTestDocuments, makeTestUploads, makeTestPreview}) {
        std::unique_ptr<QObject> suite(make());
        failed += QTest::qExec(suite.get(), argc, argv);
    }
    return failed == 0 ? 0 : 1;
}
