// SPDX-License-Identifier: GPL-3.0-or-later
#include "varlo-cli/fontcommand.h"

#include "charset/fontfile.h"
#include "link/fontupload.h"
#include "varlo-cli/clireporter.h"
#include "varlo-cli/commandline.h"
#include "varlo-cli/filereport.h"

namespace varlo::cli {

namespace {

const QString kExport = QStringLiteral("export");

} // namespace

int runFont(const QStringList &arguments)
{
    CommandLine line(QStringLiteral("font"),
                     QStringLiteral("[FILE.vlf] [--port PORT]... [--dry-run] [--export OUT.vlf]"),
                     QStringLiteral("Loads the panel's character generator with two fonts, normal and bold: "
                                    "64 frames, as the Initial button does. Without FILE.vlf the font in use "
                                    "goes, which the window's Action > Font in Use chooses (the fonts built "
                                    "into Varlo until it does); builtin sends the built-in fonts, a file the "
                                    "two faces of that font file. --export writes the font as a font file to "
                                    "start from, and sends nothing: varlo-cli font builtin --export "
                                    "mine.vlf gives the built-in one."),
                     QStringLiteral("varlo-cli font cyrillic.vlf --port COM3"));
    line.addFileArgument(QStringLiteral("FILE.vlf"),
                         QStringLiteral("The font file to load, or builtin (default: the font in use)."));
    line.addPortOption();
    line.addDryRunOption();
    line.parser().addOption({kExport, QStringLiteral("Write the font to this .vlf file instead of sending it."),
                             QStringLiteral("OUT.vlf")});
    if (const std::optional<int> done = line.parse(arguments))
        return *done;
    const std::optional<QString> file = line.file(false);
    if (!file)
        return line.failureStatus();
    const std::optional<std::vector<PortChoice>> ports = line.ports();
    if (!ports)
        return ExitUsage;

    std::optional<FontFile> font;
    if (file->isEmpty())
        font = fontInUseReporting().font();
    else if (*file == QLatin1String(FontInUse::kBuiltInName))
        font = FontFile::builtIn();
    else
        font = readFontFileReporting(*file);
    if (!font)
        return ExitFileFailed;

    const std::optional<QString> exportPath = line.fileOption(kExport);
    if (!exportPath)
        return line.failureStatus();
    if (!exportPath->isEmpty()) {
        if (line.dryRun())
            return line.usageError(QStringLiteral("--export and --dry-run: choose one"));
        return saveFontFileReporting(*exportPath, *font);
    }
    // A font file's image always has the size of the character generator.
    const UploadPlan plan = planFontUpload(font->image()).value();
    if (line.dryRun()) {
        printFrames(plan.frames());
        return ExitDone;
    }
    return uploadToEachPort(
        *ports, [&plan](const PortChoice &port, UploadProgress &progress) { return runUpload(plan, port, progress); });
}

} // namespace varlo::cli
