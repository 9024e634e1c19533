// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/commandline.h"

#include "varlo-cli/filereport.h"
#include "link/serialport.h"
#include "varlo-cli/messagetext.h"
#include "model/inputexcerpt.h"

#include <QFile>
#include <QRegularExpression>

namespace varlo::cli {

namespace {

const QString kHelp = QStringLiteral("help");
const QString kPort = QStringLiteral("port");
const QString kDryRun = QStringLiteral("dry-run");
const QString kDelay = QStringLiteral("delay");
const QString kMessage = QStringLiteral("m");
const QString kSpeed = QStringLiteral("speed");
const QString kStop = QStringLiteral("stop");
const QString kRaw = QStringLiteral("raw");
const QString kSlot = QStringLiteral("slot");
const QString kFont = QStringLiteral("font");

bool isDecimal(const QString &text)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,9}$"));
    return digits.match(text).hasMatch();
}

// "/dev/ttyUSB3" -> "/dev/ttyUSB" and 3; -1 without a number at the end.
std::pair<QString, int> splitDevice(const QString &device)
{
    static const QRegularExpression numbered(QStringLiteral("^(.*?)([0-9]+)$"));
    const QRegularExpressionMatch match = numbered.match(device);
    if (!match.hasMatch())
        return {device, -1};
    return {match.captured(1), match.captured(2).toInt()};
}

// Breaks each line of the text at spaces so that it fits a terminal of 80
// columns; a word longer than that stays whole.
QString wrapped(const QString &text)
{
    constexpr int kWidth = 79;
    QStringList lines;
    for (const QString &paragraph : text.split(QLatin1Char('\n'))) {
        QString line;
        for (const QString &word : paragraph.split(QLatin1Char(' '))) {
            if (!line.isEmpty() && line.size() + 1 + word.size() > kWidth) {
                lines << line;
                line.clear();
            }
            line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
        }
        lines << line;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

CommandLine::CommandLine(const QString &command, const QString &syntax, const QString &description,
                         const QString &example)
    : m_command(command)
    , m_syntax(syntax)
    , m_description(description)
    , m_example(example)
{
    m_parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    m_parser.addOption({{QStringLiteral("h"), kHelp}, QStringLiteral("Show this help.")});
}

void CommandLine::addPortOption()
{
    m_hasPortOption = true;
    m_parser.addOption({kPort,
                        QStringLiteral("AUTO (the default: find the panel, COM15 down to COM1), COM<n> or <n> "
                                       "for n 1 to 15, or a device path, opened without a probe. send and "
                                       "font take several, as COM3,COM4 or --port again: each in turn."),
                        QStringLiteral("PORT"), QStringLiteral("AUTO")});
}

void CommandLine::addDryRunOption()
{
    m_parser.addOption({kDryRun,
                        QStringLiteral("Open no port; print each frame that would be sent, line-coded, "
                                       "one line of hexadecimal pairs per frame.")});
}

void CommandLine::addDelayOption()
{
    m_parser.addOption({kDelay,
                        QStringLiteral("Commu Delay position 0 to 10: a pause of N x 50 ms before each "
                                       "slot with text, the directory and the end (default 0)."),
                        QStringLiteral("N"), QStringLiteral("0")});
}

void CommandLine::addTextOptions()
{
    m_parser.addOption({kMessage,
                        QStringLiteral("The text of the next slot, A first, then B, C ... up to T; "
                                       "'' leaves a slot empty. Escapes: ~B bold, ~A bold off, ~F flash, "
                                       "~H heart, ~+ star, ~~ a tilde. Slots not given are empty. The text "
                                       "is read as UTF-8: accented letters become the panel's own, picture "
                                       "symbols (a heart, a star ...) their escape, typographic quotes and "
                                       "dashes plain ones; any other character is refused."),
                        QStringLiteral("TEXT")});
    addRawOption();
    addSpeedOption(QStringLiteral("Speed code 0 to 255 of every slot given (default 4)."));
    addFontOption();
}

void CommandLine::addRawOption()
{
    m_parser.addOption({kRaw,
                        QStringLiteral("Take each text as bytes, not text: \\xNN is the byte NN (but not "
                                       "\\x00), \\\\ one backslash, every other byte goes as it is.")});
}

void CommandLine::addSpeedOption(const QString &description)
{
    m_parser.addOption({kSpeed, description, QStringLiteral("CODE"), QString::number(MessageSet::kDefaultSpeedCode)});
}

void CommandLine::addArgument(const QString &name, const QString &description)
{
    m_parser.addPositionalArgument(name, description);
    m_argumentNames << name;
}

void CommandLine::addFontOption()
{
    addFontOption(QStringLiteral("Read and show text as this .vlf font file's labels mean the codes, "
                                 "for a panel loaded with it; builtin for the built-in fonts. Default: "
                                 "the font in use, which the window's Action > Font in Use chooses "
                                 "(the built-in fonts until it does)."));
}

void CommandLine::addFontOption(const QString &description)
{
    m_parser.addOption({kFont, description, QStringLiteral("FILE.vlf")});
}

std::optional<PanelCharMap> CommandLine::charMap()
{
    // Read once: every text of the command goes through the same map.
    if (m_charMap)
        return m_charMap;
    const std::optional<QString> path = fileOption(kFont);
    if (!path)
        return std::nullopt;
    if (path->isEmpty()) {
        m_charMap = fontInUseReporting().charMap();
        return m_charMap;
    }
    if (*path == QLatin1String(FontInUse::kBuiltInName)) {
        m_charMap = PanelCharMap::builtIn();
        return m_charMap;
    }
    const std::optional<FontFile> font = readFontFileReporting(*path);
    if (!font) {
        m_failureStatus = ExitFileFailed;
        return std::nullopt;
    }
    m_charMap = font->charMap();
    return m_charMap;
}

void CommandLine::addStopOption()
{
    m_parser.addOption({kStop, QStringLiteral("Clear the run flag of these slots, e.g. BD (default: every slot runs)."),
                        QStringLiteral("LETTERS")});
    m_hasStopOption = true;
}

void CommandLine::addMessageOptions()
{
    addTextOptions();
    addStopOption();
}

void CommandLine::addFileArgument(const QString &name, const QString &description)
{
    m_parser.addPositionalArgument(name, description);
    m_fileName = name;
}

std::optional<int> CommandLine::parse(const QStringList &arguments)
{
    // The parser skips the first argument as the program's name.
    QStringList forParser = arguments;
    if (!forParser.isEmpty())
        forParser.first() = QStringLiteral("varlo-cli ") + m_command;
    if (!m_parser.parse(forParser))
        // The parser's sentence quotes the argument it took amiss.
        return usageError(inputExcerpt(m_parser.errorText().toLatin1(), 2 * kExcerptCharacters));
    if (m_parser.isSet(kHelp)) {
        printOut(helpText());
        return ExitDone;
    }
    // An option that means one thing given twice would silently lose one.
    const QStringList given = m_parser.optionNames();
    for (const QString &name : given) {
        if (name != kMessage && name != kSlot && name != kPort && given.count(name) > 1)
            return usageError(QStringLiteral("%1%2 given more than once").arg(name.size() == 1 ? "-" : "--", name));
    }
    const QStringList positional = m_parser.positionalArguments();
    const qsizetype allowed = (m_fileName.isEmpty() ? 0 : 1) + m_argumentNames.size();
    if (positional.size() > allowed)
        return usageError(QStringLiteral("unexpected argument '%1'").arg(argumentExcerpt(positional.at(allowed))));
    return std::nullopt;
}

std::optional<std::vector<PortChoice>> CommandLine::ports()
{
    std::vector<PortChoice> choices;
    QStringList texts;
    for (const QString &value : m_parser.values(kPort))
        texts += value.split(QLatin1Char(','));
    if (texts.isEmpty())
        texts << QStringLiteral("AUTO");
    for (const QString &given : texts) {
        const std::optional<QString> path = pathValue(given, QStringLiteral("--port "));
        if (!path)
            return std::nullopt;
        const std::optional<PortChoice> choice = PortChoice::parse(*path);
        if (!choice) {
            usageError(QStringLiteral("--port %1: not AUTO, COM1 to COM15, 1 to 15 or a device path").arg(*path));
            return std::nullopt;
        }
        choices.push_back(*choice);
    }
    return choices;
}

std::optional<PortChoice> CommandLine::port()
{
    const std::optional<std::vector<PortChoice>> choices = ports();
    if (!choices)
        return std::nullopt;
    if (choices->size() > 1) {
        usageError(QStringLiteral("--port: %1 takes one port").arg(m_command));
        return std::nullopt;
    }
    return choices->front();
}

std::optional<int> CommandLine::commuDelayPosition()
{
    return intValue(kDelay, 0, 10, 0);
}

std::optional<MessageSet> CommandLine::messageSet()
{
    MessageSet set;
    set.clearForNew();

    const QStringList texts = m_parser.values(kMessage);
    if (texts.size() > MessageSet::kSlotCount) {
        usageError(
            QStringLiteral("%1 texts given; the panel has %2 slots").arg(texts.size()).arg(MessageSet::kSlotCount));
        return std::nullopt;
    }
    const std::optional<int> speed = intValue(kSpeed, 0, 255, MessageSet::kDefaultSpeedCode);
    if (!speed)
        return std::nullopt;
    for (int slot = 0; slot < texts.size(); ++slot) {
        const std::optional<QByteArray> markup = markupValue(texts[slot], QStringLiteral("-m %1").arg(slot + 1));
        if (!markup)
            return std::nullopt;
        set.setMarkup(slot, *markup);
        set.setSpeedCode(slot, static_cast<quint8>(*speed));
    }

    if (!m_hasStopOption)
        return set;
    for (const QChar letter : m_parser.value(kStop)) {
        const int slot = letter.unicode() < 0x80 ? MessageSet::slotIndex(letter.toLatin1()) : -1;
        if (slot < 0) {
            usageError(
                QStringLiteral("--stop: '%1' is not a slot letter A to T").arg(argumentExcerpt(QString(letter))));
            return std::nullopt;
        }
        set.setRun(slot, false);
    }
    return set;
}

std::optional<QByteArray> CommandLine::markupValue(const QString &argument, const QString &label)
{
    // Arguments arrive as Latin-1: toLatin1() gives their bytes back.
    const QByteArray bytes = argument.toLatin1();
    const bool raw = m_parser.isSet(kRaw);
    const std::optional<PanelCharMap> map = raw ? std::optional<PanelCharMap>() : charMap();
    if (!raw && !map)
        return std::nullopt;
    const TextResult markup = raw ? markupFromRaw(bytes) : markupFromArgument(bytes, *map);
    if (const TextError *error = std::get_if<TextError>(&markup)) {
        usageError(QStringLiteral("%1, column %2: %3").arg(label).arg(error->column).arg(error->message));
        return std::nullopt;
    }
    return std::get<QByteArray>(markup);
}

std::optional<int> CommandLine::speedCode()
{
    if (!m_parser.isSet(kSpeed))
        return std::nullopt;
    return intValue(kSpeed, 0, 255, MessageSet::kDefaultSpeedCode);
}

std::optional<QString> CommandLine::argument(int index)
{
    const QStringList positional = m_parser.positionalArguments();
    const qsizetype at = (m_fileName.isEmpty() ? 0 : 1) + index;
    if (at >= positional.size()) {
        usageError(QStringLiteral("%1 missing").arg(m_argumentNames.value(index)));
        return std::nullopt;
    }
    return positional.at(at);
}

int CommandLine::slotValue(const QString &text, const QString &label)
{
    const int slot =
        text.size() == 1 && text.at(0).unicode() < 0x80 ? MessageSet::slotIndex(text.at(0).toLatin1()) : -1;
    if (slot < 0)
        usageError(QStringLiteral("%1: '%2' is not a slot letter A to T").arg(label, argumentExcerpt(text)));
    return slot;
}

std::optional<QString> CommandLine::file(bool required)
{
    const QStringList positional = m_parser.positionalArguments();
    if (positional.isEmpty() && required) {
        usageError(QStringLiteral("%1 missing").arg(m_fileName));
        return std::nullopt;
    }
    if (positional.isEmpty())
        return QString();
    const std::optional<QString> path = pathValue(positional.first(), QString());
    if (!path)
        m_failureStatus = ExitFileFailed;
    return path;
}

std::optional<QString> CommandLine::fileOption(const QString &option)
{
    if (!m_parser.isSet(option))
        return QString();
    const std::optional<QString> path = pathValue(m_parser.value(option), QStringLiteral("--%1 ").arg(option));
    if (!path)
        m_failureStatus = ExitFileFailed;
    return path;
}

std::optional<QString> CommandLine::pathValue(const QString &argument, const QString &label)
{
    // Arguments arrive as Latin-1, which gives back the bytes unchanged. Qt
    // names files by text and turns bytes that are not UTF-8 into U+FFFD, so
    // such a name would open, or create, some other file: refuse it.
    const QByteArray bytes = argument.toLatin1();
    const QString path = QFile::decodeName(bytes);
    if (QFile::encodeName(path) == bytes)
        return path;
    QString shown;
    for (const char c : bytes) {
        const auto byte = static_cast<quint8>(c);
        shown += byte >= 0x20 && byte < 0x7F ? QString(QLatin1Char(c)) : QString::asprintf("\\x%02X", byte);
    }
    printErr(QStringLiteral("varlo-cli %1: %2%3: the name is not valid UTF-8, and varlo-cli can only open "
                            "names that are; rename it\n")
                 .arg(m_command, label, shown));
    return std::nullopt;
}

std::optional<int> CommandLine::intValue(const QString &option, int lowest, int highest, int fallback)
{
    if (!m_parser.isSet(option))
        return fallback;
    const QString text = m_parser.value(option);
    const int value = isDecimal(text) ? text.toInt() : -1;
    if (value < lowest || value > highest) {
        usageError(QStringLiteral("--%1 %2: not a whole number from %3 to %4")
                       .arg(option, argumentExcerpt(text))
                       .arg(lowest)
                       .arg(highest));
        return std::nullopt;
    }
    return value;
}

QString CommandLine::helpText() const
{
    // The parser's own text starts with a usage line naming only [options];
    // ours gives the full synopsis.
    const QString parserText = m_parser.helpText();
    const qsizetype options = parserText.indexOf(QLatin1String("Options:"));
    QString text = QStringLiteral("Usage: varlo-cli %1 %2\n\n%3\n\n").arg(m_command, m_syntax, wrapped(m_description));
    text += options >= 0 ? parserText.mid(options) : parserText;
    text += QStringLiteral("\nExample:\n  %1\n\n").arg(m_example);
    text += QLatin1String(kExitStatusText);
    if (m_hasPortOption)
        text += QLatin1Char('\n') + portTableText();
    return text;
}

QString argumentExcerpt(const QString &argument)
{
    return inputExcerpt(argument.toLatin1());
}

QString portTableText()
{
    QString text = QStringLiteral("Ports: COM<n> opens the file or link com<n> in\n"
                                  "  %1\n"
                                  "when there is one, for example after\n"
                                  "  ln -s /dev/ttyUSB0 ~/.config/varlo/ports/com3\n"
                                  "and otherwise:\n")
                       .arg(SerialPort::portsFolder());
    // Consecutive numbers on consecutive devices of one kind share a line.
    int first = SerialPort::kFirstCom;
    while (first <= SerialPort::kLastCom) {
        const QString firstDevice = SerialPort::defaultDeviceForCom(first);
        const auto [prefix, index] = splitDevice(firstDevice);
        int last = first;
        while (index >= 0 && last < SerialPort::kLastCom
               && SerialPort::defaultDeviceForCom(last + 1) == prefix + QString::number(index + last + 1 - first))
            ++last;
        const QString coms =
            first == last ? QStringLiteral("COM%1").arg(first) : QStringLiteral("COM%1 to COM%2").arg(first).arg(last);
        const QString devices =
            first == last ? firstDevice : firstDevice + QStringLiteral(" to ") + SerialPort::defaultDeviceForCom(last);
        text += QStringLiteral("  %1  %2\n").arg(coms, -14).arg(devices);
        first = last + 1;
    }
    return text;
}

void printFrames(const std::vector<LinkFrame> &frames)
{
    QByteArray lines;
    for (const LinkFrame &f : frames)
        lines += f.lineCoded().toHex(' ').toUpper() + '\n';
    printOut(lines);
}

} // namespace varlo::cli
