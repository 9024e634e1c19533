// SPDX-License-Identifier: GPL-3.0-or-later
#include "charset/fontinuse.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace varlo {

namespace {

// In the file the Publish dialog keeps its fields in.
const QString kSettingsFile = QStringLiteral("varlo/varlo.conf");
const QString kFontKey = QStringLiteral("font/inUse");

QString settingsPath(const QString &configHome)
{
    return QDir(configHome).filePath(kSettingsFile);
}

bool namesBuiltIn(const QString &path)
{
    return path.isEmpty() || path == QLatin1String(FontInUse::kBuiltInName);
}

} // namespace

FontInUse::FontInUse()
    : m_font(FontFile::builtIn())
{
}

FontInUse FontInUse::load(const QString &path)
{
    FontInUse used;
    if (namesBuiltIn(path))
        return used;
    used.m_path = QFileInfo(path).absoluteFilePath();
    FontFileRead read = readFontFilePath(used.m_path);
    if (!read.font) {
        used.m_problem = read.errorText();
        return used;
    }
    used.m_builtIn = false;
    used.m_warnings = read.warnings;
    used.m_font = std::move(*read.font);
    used.m_charMap = used.m_font.charMap();
    return used;
}

QString FontInUse::defaultConfigHome()
{
    // $XDG_CONFIG_HOME, or ~/.config without it; read afresh each time.
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
}

QString FontInUse::rememberedPath(const QString &configHome)
{
    if (configHome.isEmpty())
        return {};
    // By its path rather than by organisation and application: Qt keeps the
    // folder of those from the first use on, and a test points each window
    // at a folder of its own.
    const QSettings settings(settingsPath(configHome), QSettings::IniFormat);
    const QString path = settings.value(kFontKey).toString();
    return namesBuiltIn(path) ? QString() : path;
}

QString FontInUse::remember(const QString &configHome, const QString &path)
{
    if (configHome.isEmpty())
        return {};
    QSettings settings(settingsPath(configHome), QSettings::IniFormat);
    if (namesBuiltIn(path))
        settings.setValue(kFontKey, QString::fromLatin1(kBuiltInName));
    else
        settings.setValue(kFontKey, QFileInfo(path).absoluteFilePath());
    settings.sync();
    if (settings.status() != QSettings::NoError)
        return QStringLiteral("%1 can't be written").arg(settings.fileName());
    return {};
}

QString FontInUse::name() const
{
    return m_path.isEmpty() ? QStringLiteral("built-in") : QFileInfo(m_path).fileName();
}

QString FontInUse::describe() const
{
    if (m_problem.isEmpty())
        return QStringLiteral("font in use: %1").arg(name());
    return QStringLiteral("font in use: built-in, as %1 can't be used (%2)").arg(m_path, m_problem);
}

bool FontInUse::operator==(const FontInUse &other) const
{
    return m_path == other.m_path && m_builtIn == other.m_builtIn && m_problem == other.m_problem
        && m_font == other.m_font;
}

} // namespace varlo
