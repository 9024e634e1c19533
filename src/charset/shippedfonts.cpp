// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/shippedfonts.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace varlo {

namespace {

bool isInside(const QString &path, const QString &folder)
{
    const QString canonicalPath = QFileInfo(path).canonicalFilePath();
    const QString canonicalFolder = QFileInfo(folder).canonicalFilePath();
    return !canonicalPath.isEmpty() && !canonicalFolder.isEmpty()
        && (canonicalPath == canonicalFolder || canonicalPath.startsWith(canonicalFolder + QLatin1Char('/')));
}

} // namespace

QStringList shippedFontFolders(const QString &executableDir)
{
    QStringList candidates;
    // A program built but not installed finds the fonts where they are kept;
    // an installed one never looks into a source tree.
    if (isInside(executableDir, QStringLiteral(VARLO_BUILD_DIR)))
        candidates << QStringLiteral(VARLO_SOURCE_FONTS_DIR);
    // bin/../share/varlo/fonts: an install under a prefix that is no data
    // folder of the desktop, such as /opt/varlo.
    candidates << QDir(executableDir).filePath(QStringLiteral("../share/varlo/fonts"));
    candidates << QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, QStringLiteral("varlo/fonts"),
                                            QStandardPaths::LocateDirectory);
    QStringList folders;
    for (const QString &candidate : candidates) {
        const QString canonical = QFileInfo(candidate).canonicalFilePath();
        if (!canonical.isEmpty() && QFileInfo(canonical).isDir() && !folders.contains(canonical))
            folders << canonical;
    }
    return folders;
}

QList<ShippedFont> shippedFonts(const QStringList &folders)
{
    QList<ShippedFont> fonts;
    for (const QString &folder : folders) {
        const QFileInfoList files =
            QDir(folder).entryInfoList({QStringLiteral("*.vlf")}, QDir::Files | QDir::Readable, QDir::Name);
        for (const QFileInfo &file : files) {
            const QString name = file.completeBaseName();
            const bool known = std::any_of(fonts.cbegin(), fonts.cend(),
                                           [&name](const ShippedFont &font) { return font.name == name; });
            if (!known)
                fonts.append({name, file.absoluteFilePath()});
        }
    }
    std::sort(fonts.begin(), fonts.end(),
              [](const ShippedFont &a, const ShippedFont &b) { return a.name.localeAwareCompare(b.name) < 0; });
    return fonts;
}

} // namespace varlo
