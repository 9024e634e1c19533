// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "console/exitstatus.h"

#include <QByteArray>
#include <QCommandLineOption>
#include <QString>

namespace varlo {

// What the three programs say on standard output and standard error, in one
// form: "varlo-cli: message", "Try 'varlo-cli --help'.", "varlo-cli 3.0.0".
// Output that can't be written counts as a failure, as in well-kept
// command-line tools, so every write is checked and the first failure is
// remembered until finishOutput().

// Names the program in its messages and gives it the project's version.
// First thing in main(); no application object is needed yet.
void nameProgram(const QString &name);
// What --version prints: "<program> <version>" and a line end.
QString versionText();
// -V, -v and --version, the same in the three programs (-v is what Qt's
// own version option gives, and stays for those who use it).
QCommandLineOption versionOption();
bool isVersionArgument(const QString &argument);

// Text for standard output or standard error, written at once.
void printOut(const QString &text);
void printOut(const QByteArray &bytes);
void printErr(const QString &text);
// "<program>: <message>" on standard error.
// The name the program was given (nameProgram), as its messages start.
QString programName();
void printMessage(const QString &message);
// Each line of text as printMessage prints one, so that every line a
// program says on standard error names it; a text's own leading spaces
// stay.
void printMessageLines(const QString &text);
// "<program>: <message>" and a pointer to --help on standard error; returns
// ExitUsage. A command of the program goes after its name, in both lines.
int usageError(const QString &message, const QString &command = {});

// --help or --version of varlo and varlo-panel: the text on standard
// output, then finishOutput(): ExitDone, or ExitFailed when it could not be
// written.
int printInfo(const QString &text);

// The exit status, once everything is written: standard output is flushed
// and closed, and when anything could not be written (a full disk, a closed
// descriptor) that is said on standard error, as far as it still takes
// text, and a run that would have succeeded returns outputFailedStatus.
int finishOutput(int status, int outputFailedStatus);

} // namespace varlo
