// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

namespace varlo {

// The seven small pictures the window shows: the speed glyphs for speed
// codes 0 to 4 and the red and green status lamp. The program carries them
// built in and keeps each as an 822-byte bitmap file in its support folder;
// the window always shows what the files hold, so a user may repaint them.
class SupportFiles
{
public:
    enum Picture { Speed1, Speed2, Speed3, Speed4, Speed5, LampRed, LampGreen, Count };

    static constexpr int kSide = 16;
    static constexpr qint64 kFileSize = 822;

    // "s1.dat" ... "s5.dat", "s6r.dat", "s6g.dat".
    static QString fileName(Picture picture);
    // The speed glyph of a speed code a speed button gives (0 to 4).
    static Picture speedGlyph(quint8 code);
    static QImage builtInPicture(Picture picture);
    // The complete file: a 24-bit Windows bitmap, bottom row first.
    static QByteArray builtInFile(Picture picture);

    // The executable's folder when files can be created there; otherwise
    // (an installed program) the per-user fallback, which is created.
    static QString chooseFolder(const QString &executableDir, const QString &fallbackDir);

    explicit SupportFiles(QString folder);

    QString folder() const { return m_folder; }
    QString path(Picture picture) const;
    // Writes each file that is missing. A file that exists is left alone,
    // whatever it holds. Failures are not reported: the window then shows
    // the built-in picture with an error, once.
    void writeMissing() const;

    struct Loaded
    {
        QImage image; // null when the file could not be read as a bitmap
        QString error;
    };
    // Reads the picture from its file, every time.
    Loaded load(Picture picture) const;

private:
    QString m_folder;
};

} // namespace varlo
