// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "charset/fontfile.h"
#include "charset/panelcharmap.h"

#include <QString>
#include <QStringList>

namespace varlo {

// The font the whole project draws and types with: the built-in font or a
// .vlf file. The window and varlo-cli share it through one setting in
// varlo.conf, so that text typed in the window, the bytes a script writes
// and the glyphs Initial loads all mean the same codes.
//
// A file that has gone or no longer reads is not dropped from the setting:
// the built-in font stands in, problem() says why, and the file is used
// again once it reads.
class FontInUse
{
public:
    // What the setting and --font take for the built-in font.
    static constexpr const char *kBuiltInName = "builtin";

    // The built-in font.
    FontInUse();

    // The font of `path`, or the built-in one when `path` is empty or
    // kBuiltInName; a file that can't be used gives the built-in font with
    // the reason in problem().
    static FontInUse load(const QString &path);

    // The remembered choice: a file's absolute path, or empty for the
    // built-in font. `configHome` is the folder that holds varlo/varlo.conf
    // ($XDG_CONFIG_HOME, or ~/.config: defaultConfigHome()).
    static QString rememberedPath(const QString &configHome);
    // Remembers a choice (empty: the built-in font). Returns the reason when
    // the settings file can't be written, otherwise an empty text.
    static QString remember(const QString &configHome, const QString &path);
    static QString defaultConfigHome();

    // The file chosen, absolute; empty for the built-in font. Stays the
    // chosen file when it could not be read.
    const QString &path() const { return m_path; }
    // Drawn from the built-in font, chosen or standing in.
    bool isBuiltIn() const { return m_builtIn; }
    // Why the chosen file is not used ("No such file or directory"), or empty.
    const QString &problem() const { return m_problem; }
    // Rules of the built-in faces that the file breaks; it is still used.
    const QStringList &warnings() const { return m_warnings; }
    // "built-in" or the file's name, as the status bar names it.
    QString name() const;
    // One line for the status bar or stderr: the font, and when the file
    // could not be used, which one and why.
    QString describe() const;

    const FontFile &font() const { return m_font; }
    const PanelCharMap &charMap() const { return m_charMap; }
    const QByteArray &image() const { return m_font.image(); }

    // The same file and the same glyphs and labels.
    bool operator==(const FontInUse &other) const;

private:
    QString m_path;
    bool m_builtIn = true;
    QString m_problem;
    QStringList m_warnings;
    FontFile m_font;
    PanelCharMap m_charMap;
};

} // namespace varlo
