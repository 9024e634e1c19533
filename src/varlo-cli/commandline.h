// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "varlo-cli/clicommand.h"
#include "console/programoutput.h"
#include "charset/panelcharmap.h"
#include "link/linkframe.h"
#include "link/portchoice.h"
#include "model/messageset.h"

#include <QCommandLineParser>

#include <optional>
#include <vector>

namespace varlo::cli {

// The parser of one subcommand, with the options the commands share. Every
// accessor that can fail prints a message naming the command and returns
// nothing; the caller then returns failureStatus().
//
// Arguments arrive as Latin-1, one character per byte of the command line
// (see main.cpp), so that -m texts can be read either as text or, with
// --raw, byte for byte.
class CommandLine
{
public:
    // syntax: the command's usage after its name; example: one command line.
    CommandLine(const QString &command, const QString &syntax, const QString &description, const QString &example);

    QCommandLineParser &parser() { return m_parser; }

    void addPortOption(); // --port PORT
    void addDryRunOption(); // --dry-run
    void addDelayOption(); // --delay N
    void addFontOption(); // --font FILE.vlf
    // --font FILE.vlf, where its default is not the font in use: charMap()
    // then gives nothing unless the option is given.
    void addFontOption(const QString &description);
    void addTextOptions(); // -m TEXT..., --raw, --speed CODE
    void addRawOption(); // --raw
    void addSpeedOption(const QString &description); // --speed CODE
    void addStopOption(); // --stop LETTERS
    void addMessageOptions(); // all three
    // The one file the command takes. Without it, parse() refuses positional
    // arguments.
    void addFileArgument(const QString &name, const QString &description);
    // A further argument the command requires, after the file.
    void addArgument(const QString &name, const QString &description);

    // Parses. Returns an exit status when the command is done already
    // (--help printed, or a usage error), nothing when it should go on.
    std::optional<int> parse(const QStringList &arguments);

    // The ports of --port: repeated or separated by commas, AUTO when not
    // given.
    std::optional<std::vector<PortChoice>> ports();
    // The one port of a command that takes one.
    std::optional<PortChoice> port();
    bool dryRun() const { return m_parser.isSet(QStringLiteral("dry-run")); }
    std::optional<int> commuDelayPosition();
    // The slots from -m, --speed and --stop.
    // The slots from -m and --speed, and the run flags from --stop when the
    // command takes it.
    // (Nothing after a usage error, or with failureStatus() for a font file
    // that can't be used.)
    std::optional<MessageSet> messageSet();
    // The character map of --font, or the built-in one; nothing when the
    // font file can't be used (failureStatus() then says so).
    std::optional<PanelCharMap> charMap();
    // The file argument: its path, an empty text when there is none and none
    // is required, or nothing after a usage error or for a name that is not
    // UTF-8 (which no path this program handles can name).
    std::optional<QString> file(bool required);
    // The further argument by its place (0 the first after the file), or
    // nothing after a usage error for a missing one.
    std::optional<QString> argument(int index);
    // A text from the command line as the slot's bytes, as text or with
    // --raw as bytes; after a usage error naming label and the column,
    // nothing.
    std::optional<QByteArray> markupValue(const QString &argument, const QString &label);
    // --speed, or nothing when it is not given or (after a usage error) out
    // of range: check parser().isSet() to tell which.
    std::optional<int> speedCode();
    // The slot of a letter A to T in either case (as MessageSet::slotIndex()
    // takes it), or -1 after a usage error.
    int slotValue(const QString &text, const QString &label);
    // A file named by an option, as file() takes the file argument; an
    // empty text when the option is not given.
    std::optional<QString> fileOption(const QString &option);
    // What the command returns after an accessor gave nothing: ExitUsage, or
    // ExitFileFailed for a file name that can't be used.
    int failureStatus() const { return m_failureStatus; }

    // Prints "varlo-cli <command>: <message>" and a pointer to --help.
    int usageError(const QString &message) const { return varlo::usageError(message, m_command); }

private:
    std::optional<int> intValue(const QString &option, int lowest, int highest, int fallback);
    // A file or device name from the command line; label goes before it in
    // the message about a name that can't be used.
    std::optional<QString> pathValue(const QString &argument, const QString &label);
    QString helpText() const;

    QString m_command;
    QString m_syntax;
    QString m_description;
    QString m_example;
    QCommandLineParser m_parser;
    QString m_fileName; // empty: the command takes no file
    QStringList m_argumentNames;
    bool m_hasStopOption = false;
    bool m_hasPortOption = false;
    int m_failureStatus = ExitUsage;
    std::optional<PanelCharMap> m_charMap;
};

// A piece of the command line as a message quotes it: arguments arrive as
// Latin-1, so it is their bytes that are shown, escaped and cut short (see
// inputExcerpt).
QString argumentExcerpt(const QString &argument);

// The COM-number-to-device table and the ports folder, for --help.
QString portTableText();
// --dry-run: each frame's line-coded bytes on standard output, one line per
// frame, as upper-case hexadecimal pairs separated by spaces.
void printFrames(const std::vector<LinkFrame> &frames);

} // namespace varlo::cli
