// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/dialogs.h"
#include "app/shell.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <cstdio>
#include <exception>

namespace {

// As varlo-cli: wrong usage ends with 2.
constexpr int kExitUsage = 2;

int usageError(const QString &message)
{
    const QByteArray text = QStringLiteral("varlo: %1\nTry 'varlo --help'.\n").arg(message).toLocal8Bit();
    std::fputs(text.constData(), stderr);
    return kExitUsage;
}

} // namespace

int main(int argc, char *argv[])
{
    // The window system is set up first: it takes its own options (-style,
    // -platform ...) off the command line, and --help-all lists them.
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varlo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Varlo"));
    QApplication::setApplicationVersion(QStringLiteral("3.00"));
    // Ties the window to varlo.desktop, so the desktop shows its name and
    // icon for it; on Wayland this is the window's application id.
    QGuiApplication::setDesktopFileName(QStringLiteral("varlo"));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Write messages for an LED message panel and upload them over a serial line."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("A message file (.vlo) to open at start."),
                                 QStringLiteral("[file]"));
    if (!parser.parse(QApplication::arguments()))
        return usageError(parser.errorText());
    // The arguments parse, so this only acts on --help, --help-all and
    // --version: it prints the text and exits.
    parser.process(app);
    const QStringList files = parser.positionalArguments();
    if (files.size() > 1)
        return usageError(QStringLiteral("one file at a time, not %1").arg(files.size()));

    try {
        auto window = varlo::StartWindows(varlo::DefaultFolders(),
                                          std::make_unique<varlo::WidgetDialogs>(),
                                          files.value(0));
        QApplication::exec();
    } catch (const std::exception &error) {
        QMessageBox::critical(nullptr, QApplication::applicationDisplayName(),
                              QString::fromLocal8Bit(error.what()));
    }
    // Once the window has run, the program ends with 0, whatever happened.
    return 0;
}
