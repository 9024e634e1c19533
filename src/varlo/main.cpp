// SPDX-License-Identifier: GPL-3.0-or-later
#include "console/programoutput.h"
#include "mainwindow/startup.h"
#include "model/inputexcerpt.h"
#include "windowkit/dialogs.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMessageBox>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <exception>

namespace {

// Qt's own window-system options. QApplication takes them off the command
// line, but the line is parsed before QApplication exists, so they are
// declared here to be accepted, listed in --help and passed on untouched.
struct ToolkitOption
{
    const char *name;
    const char *valueName; // nullptr: a switch
    const char *description;
};
constexpr std::array kToolkitOptions = {
    ToolkitOption{"platform", "name", "Qt platform plugin to use, such as xcb, wayland or offscreen."},
    ToolkitOption{"display", "display", "X display to open the window on."},
    ToolkitOption{"style", "style", "Widget style, such as Fusion."},
    ToolkitOption{"stylesheet", "file", "Qt style sheet to apply."},
    ToolkitOption{"qwindowgeometry", "geometry", "Size and place of the window, as WxH+X+Y."},
    ToolkitOption{"reverse", nullptr, "Lay the window out right to left."},
    ToolkitOption{"session", "id", "Session to restore (given by the session manager)."},
};

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Write messages for an LED message panel and upload them over a serial line."));
    // Qt's options are single-dash words (-platform offscreen).
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.addHelpOption();
    parser.addOption(varlo::versionOption());
    for (const ToolkitOption &option : kToolkitOptions) {
        QCommandLineOption declared(QString::fromLatin1(option.name), QString::fromLatin1(option.description));
        if (option.valueName)
            declared.setValueName(QString::fromLatin1(option.valueName));
        parser.addOption(declared);
    }
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("A message file (.vlo) to open at start."),
                                 QStringLiteral("[file]"));
}

// Without any of these Qt has no window system to reach and would abort
// with a misleading hint about reinstalling; say what is wrong instead.
bool displayChosen(const QCommandLineParser &parser)
{
    for (const char *variable : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        if (!qEnvironmentVariableIsEmpty(variable))
            return true;
    }
    return parser.isSet(QStringLiteral("platform")) || parser.isSet(QStringLiteral("display"));
}

QtMessageHandler g_qtMessageHandler = nullptr;

// Installed while QApplication starts. A display that is set but can't be
// reached (a closed X server, an ssh session without -X) makes Qt fail
// fatally, which aborts and may dump core; the user gets a plain line and
// status 1 instead. Qt's warnings before it, which name the display, pass.
void reportUnreachableDisplay(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    if (type != QtFatalMsg) {
        g_qtMessageHandler(type, context, text);
        return;
    }
    std::fputs("varlo: can't open the window on this display; run it in a desktop session, "
               "or over ssh with ssh -X\n",
               stderr);
    std::fflush(nullptr);
    // Qt is half set up at this point: end without running its destructors.
    std::_Exit(varlo::ExitFailed);
}

} // namespace

int main(int argc, char *argv[])
{
    varlo::nameProgram(QStringLiteral("varlo"));

    QString fileToOpen;
    {
        // A core application is enough to answer --help and --version and to
        // reject wrong usage, so those work without a display.
        QCoreApplication commandLine(argc, argv);
        QCommandLineParser parser;
        describeOptions(parser);
        if (!parser.parse(QCoreApplication::arguments()))
            return varlo::usageError(varlo::inputExcerpt(parser.errorText(), 2 * varlo::kExcerptCharacters));
        if (parser.isSet(QStringLiteral("version")))
            return varlo::printInfo(varlo::versionText());
        if (parser.isSet(QStringLiteral("help")))
            return varlo::printInfo(parser.helpText());
        // The arguments parse, so this only acts on --help-all, which lists
        // Qt's own options too: it prints the text and exits with 0.
        parser.process(commandLine);
        const QStringList files = parser.positionalArguments();
        if (files.size() > 1)
            return varlo::usageError(QStringLiteral("one file at a time, not %1").arg(files.size()));
        if (!displayChosen(parser)) {
            varlo::printMessage(QStringLiteral("no display to open the window on (DISPLAY and WAYLAND_DISPLAY are "
                                               "not set); run it in a desktop session, or over ssh with ssh -X"));
            return varlo::ExitFailed;
        }
        fileToOpen = files.value(0);
    }

    g_qtMessageHandler = qInstallMessageHandler(reportUnreachableDisplay);
    QApplication app(argc, argv);
    qInstallMessageHandler(g_qtMessageHandler);
    // No application display name: Qt would append it to every window title,
    // and the captions ("Confirm", "About", the main window's file caption)
    // are exactly what the windows set. The desktop still finds the program's
    // name through its desktop entry.
    // Ties the window to its desktop entry, so the desktop shows its name and
    // icon for it; on Wayland this is the window's application id.
    QGuiApplication::setDesktopFileName(QStringLiteral(VARLO_APP_ID));

    try {
        auto window =
            varlo::startWindows(varlo::defaultFolders(), std::make_unique<varlo::WidgetDialogs>(), fileToOpen);
        QApplication::exec();
    } catch (const std::exception &error) {
        QMessageBox::critical(nullptr, QStringLiteral("Varlo"), QString::fromLocal8Bit(error.what()));
    }
    // Once the window has run, the program ends with 0, whatever happened.
    return 0;
}
