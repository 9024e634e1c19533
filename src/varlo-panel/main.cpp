// SPDX-License-Identifier: GPL-3.0-or-later
// varlo-panel: a virtual panel on a pseudo-terminal, mapped as a COM number,
// for trying Varlo without the hardware.

#include "varlo-panel/panelprogram.h"
#include "varlo-panel/portslink.h"

#include "console/programoutput.h"
#include "console/stopsignals.h"
#include "link/serialport.h"
#include "model/inputexcerpt.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <csignal>

using namespace varlo;
using namespace varlo::panel;

namespace {

constexpr int kMinWidthDots = 8;
constexpr int kMaxWidthDots = 400;
// The program ends within this time of the first Ctrl-C, SIGTERM or SIGHUP,
// whatever it is doing: its normal way out, or, should that be stuck (the
// main thread held up writing to a terminal or pipe that takes nothing,
// say), a timer that removes the ports link there and then.
constexpr int kGraceMs = 700;

} // namespace

int main(int argc, char *argv[])
{
    nameProgram(QStringLiteral("varlo-panel"));
    // Qt's own event loop rather than GLib's: at 60 scroll steps a second
    // each wake-up counts, and GLib's makes more system calls per wake-up
    // (about a third of the processor time of a scrolling panel here). A
    // program without windows loses nothing by it.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication app(argc, argv);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A virtual LED message panel. It opens a pseudo-terminal, maps it as COM N in the ports folder\n"
                       "%1, answers the probe, keeps the panel's memory from the frames\n"
                       "that arrive and shows in the terminal what the panel would display.\n\n"
                       "Example: varlo-panel --com 3, then in another terminal varlo-cli send -m 'HELLO ~H'.")
            .arg(SerialPort::portsFolder()));
    parser.addHelpOption();
    parser.addOption(versionOption());
    const QCommandLineOption comOption(QStringLiteral("com"),
                                       QStringLiteral("The COM number to serve, 1 to 15 (default 1)."),
                                       QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption quietOption(QStringLiteral("quiet"),
                                         QStringLiteral("Print one line per upload instead of the display (also when "
                                                        "standard output is not a terminal)."));
    const QCommandLineOption onceOption(QStringLiteral("once"), QStringLiteral("End after the first complete upload."));
    const QCommandLineOption jsonOption(QStringLiteral("json"),
                                        QStringLiteral("Write the panel's memory as JSON to FILE after each upload."),
                                        QStringLiteral("FILE"));
    const QCommandLineOption pngOption(QStringLiteral("png"),
                                       QStringLiteral("Write a picture of the display (the first running slot, from "
                                                      "its start) to FILE after each upload."),
                                       QStringLiteral("FILE"));
    const QCommandLineOption widthOption(QStringLiteral("width"),
                                         QStringLiteral("Display width in dots, %1 to %2 (default %3).")
                                             .arg(kMinWidthDots)
                                             .arg(kMaxWidthDots)
                                             .arg(display::kWidthDots),
                                         QStringLiteral("DOTS"), QString::number(display::kWidthDots));
    parser.addOptions({comOption, quietOption, onceOption, jsonOption, pngOption, widthOption});
    if (!parser.parse(app.arguments()))
        return usageError(inputExcerpt(parser.errorText(), 2 * kExcerptCharacters));
    if (parser.isSet(QStringLiteral("help")))
        return printInfo(parser.helpText());
    if (parser.isSet(QStringLiteral("version")))
        return printInfo(versionText());
    if (!parser.positionalArguments().isEmpty())
        return usageError(
            QStringLiteral("unexpected argument '%1'").arg(inputExcerpt(parser.positionalArguments().first())));

    PanelOptions options;
    bool ok = false;
    options.com = parser.value(comOption).toInt(&ok);
    if (!ok || !SerialPort::isComNumber(options.com))
        return usageError(
            QStringLiteral("--com takes a number from %1 to %2").arg(SerialPort::kFirstCom).arg(SerialPort::kLastCom));
    options.widthDots = parser.value(widthOption).toInt(&ok);
    if (!ok || options.widthDots < kMinWidthDots || options.widthDots > kMaxWidthDots)
        return usageError(QStringLiteral("--width takes a number from %1 to %2").arg(kMinWidthDots).arg(kMaxWidthDots));
    options.quiet = parser.isSet(quietOption);
    options.once = parser.isSet(onceOption);
    options.jsonPath = parser.value(jsonOption);
    options.pngPath = parser.value(pngOption);

    // A reader of standard output that goes away must not kill the panel
    // before it has removed its link.
    std::signal(SIGPIPE, SIG_IGN);
    // A new terminal size (SIGWINCH) comes the same way, so that the display
    // is drawn anew at once and nothing need look at the size meanwhile.
    StopSignals quitSignals({nullptr, kGraceMs, &PortsLink::releaseInSignalHandler, true});
    if (!quitSignals.isValid()) {
        printMessage(QStringLiteral("cannot watch for Ctrl-C"));
        return ExitFailed;
    }
    QObject::connect(&quitSignals, &StopSignals::stopRequested, &app, [] { QCoreApplication::exit(ExitDone); });

    PanelProgram program(options);
    QObject::connect(&program, &PanelProgram::finished, &app, [](int code) { QCoreApplication::exit(code); });
    QObject::connect(&quitSignals, &StopSignals::terminalResized, &program, &PanelProgram::terminalResized);
    if (!program.start())
        return ExitFailed;
    const int status = app.exec();
    program.stop();
    return status;
}
