// SPDX-License-Identifier: GPL-3.0-or-later
#include "supportpictures/supportfiles.h"

#include "files/readfile.h"
#include "files/replacefile.h"
#include "model/messageset.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImageReader>
#include <QTemporaryFile>
#include <QtEndian>

#include <array>

namespace varlo {

namespace {

constexpr QRgb kSilver = qRgb(192, 192, 192);
constexpr QRgb kBlue = qRgb(0, 0, 255);
constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kGreen = qRgb(0, 128, 0);
constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kShadow = qRgb(128, 128, 128);

// A repainted picture may be stored otherwise than ours, but never needs
// more than this.
constexpr qint64 kMaxFileBytes = 1024 * 1024;

// The digits 1 to 5 of the speed glyphs, 5 x 7.
constexpr std::array<std::array<const char *, 7>, 5> kDigits{{
    {"..#..", ".##..", "..#..", "..#..", "..#..", "..#..", ".###."},
    {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"},
    {"#####", "...#.", "..#..", "...#.", "....#", "#...#", ".###."},
    {"...#.", "..##.", ".#.#.", "#..#.", "#####", "...#.", "...#."},
    {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."},
}};
// How far the 13-pixel gauge is filled for each digit.
constexpr std::array<int, 5> kGaugeFill{3, 5, 7, 7, 13};

QImage speedPicture(int digit)
{
    QImage image(SupportFiles::kSide, SupportFiles::kSide, QImage::Format_RGB32);
    image.fill(kSilver);
    const auto &rows = kDigits[digit];
    for (int y = 0; y < 7; ++y) {
        for (int x = 0; x < 5; ++x) {
            if (rows[y][x] == '#')
                image.setPixel(5 + x, 1 + y, kBlue);
        }
    }
    // The gauge: a track of 13 pixels, three rows high, with a shadow line
    // beneath, filled in red from the left.
    for (int x = 0; x < 13; ++x) {
        const QRgb colour = x < kGaugeFill[digit] ? kRed : kWhite;
        for (int y = 10; y < 13; ++y)
            image.setPixel(1 + x, y, colour);
        image.setPixel(1 + x, 13, kShadow);
    }
    return image;
}

QImage lampPicture(QRgb colour)
{
    QImage image(SupportFiles::kSide, SupportFiles::kSide, QImage::Format_RGB32);
    image.fill(kSilver);
    const QColor rim = QColor(colour).darker(160);
    for (int y = 0; y < SupportFiles::kSide; ++y) {
        for (int x = 0; x < SupportFiles::kSide; ++x) {
            const double dx = x - 7.5;
            const double dy = y - 7.5;
            const double d2 = dx * dx + dy * dy;
            if (d2 <= 6.5 * 6.5)
                image.setPixel(x, y, d2 > 5.4 * 5.4 ? rim.rgb() : colour);
        }
    }
    for (const QPoint p : {QPoint(5, 4), QPoint(6, 4), QPoint(4, 5), QPoint(5, 5)})
        image.setPixel(p, kWhite);
    return image;
}

void putLe16(QByteArray &out, int offset, quint16 value)
{
    qToLittleEndian(value, out.data() + offset);
}

void putLe32(QByteArray &out, int offset, quint32 value)
{
    qToLittleEndian(value, out.data() + offset);
}

// A 24-bit bitmap file of 16 x 16 pixels: 54 bytes of headers, then the
// rows bottom first, blue-green-red. 48 bytes a row need no padding.
QByteArray encodeBitmap(const QImage &image)
{
    constexpr int kPixelsOffset = 54;
    constexpr int kPixelsSize = SupportFiles::kSide * SupportFiles::kSide * 3;
    QByteArray out(int(SupportFiles::kFileSize), '\0');
    out[0] = 'B';
    out[1] = 'M';
    putLe32(out, 2, quint32(SupportFiles::kFileSize));
    putLe32(out, 10, kPixelsOffset);
    putLe32(out, 14, 40);
    putLe32(out, 18, SupportFiles::kSide);
    putLe32(out, 22, SupportFiles::kSide);
    putLe16(out, 26, 1);
    putLe16(out, 28, 24);
    putLe32(out, 34, kPixelsSize);
    putLe32(out, 38, 3780);
    putLe32(out, 42, 3780);
    int at = kPixelsOffset;
    for (int y = SupportFiles::kSide - 1; y >= 0; --y) {
        for (int x = 0; x < SupportFiles::kSide; ++x) {
            const QRgb p = image.pixel(x, y);
            out[at++] = char(qBlue(p));
            out[at++] = char(qGreen(p));
            out[at++] = char(qRed(p));
        }
    }
    return out;
}

} // namespace

QString SupportFiles::fileName(Picture picture)
{
    switch (picture) {
    case LampRed:
        return QStringLiteral("s6r.dat");
    case LampGreen:
        return QStringLiteral("s6g.dat");
    default:
        return QStringLiteral("s%1.dat").arg(int(picture) + 1);
    }
}

// One glyph for each speed a speed button gives.
static_assert(SupportFiles::Speed5 - SupportFiles::Speed1 + 1 == MessageSet::kSpeedCodeCount);

SupportFiles::Picture SupportFiles::speedGlyph(quint8 code)
{
    Q_ASSERT(code < MessageSet::kSpeedCodeCount);
    return Picture(Speed1 + code);
}

QImage SupportFiles::builtInPicture(Picture picture)
{
    switch (picture) {
    case LampRed:
        return lampPicture(kRed);
    case LampGreen:
        return lampPicture(kGreen);
    default:
        return speedPicture(int(picture));
    }
}

QByteArray SupportFiles::builtInFile(Picture picture)
{
    return encodeBitmap(builtInPicture(picture));
}

QString SupportFiles::chooseFolder(const QString &executableDir, const QString &fallbackDir)
{
    // Try it rather than ask: permission bits say nothing on read-only
    // mounts, and nothing at all to root.
    QTemporaryFile probe(QDir(executableDir).filePath(QStringLiteral(".varlo-probe-XXXXXX")));
    if (probe.open())
        return executableDir;
    QDir().mkpath(fallbackDir);
    return fallbackDir;
}

SupportFiles::SupportFiles(QString folder)
    : m_folder(std::move(folder))
{
}

QString SupportFiles::path(Picture picture) const
{
    return QDir(m_folder).filePath(fileName(picture));
}

void SupportFiles::writeMissing() const
{
    for (int i = 0; i < Count; ++i) {
        const auto picture = Picture(i);
        if (QFileInfo::exists(path(picture)))
            continue;
        // Never leave half a file behind: it would show as a broken picture
        // on every later run. A picture that can't be written is drawn
        // from the built-in one, so the reason is of no use here.
        replaceFile(path(picture), builtInFile(picture));
    }
}

SupportFiles::Loaded SupportFiles::load(Picture picture) const
{
    // A pipe or a device put in place of a picture must not hold up the
    // window's start.
    Loaded loaded;
    FileRead read = readFile(path(picture), {kMaxFileBytes, "a picture"});
    if (read.status == FileRead::Status::Missing) {
        loaded.error = QStringLiteral("The file does not exist.");
        return loaded;
    }
    if (!read.ok()) {
        loaded.error = read.reason;
        return loaded;
    }
    // The files are named .dat, so the format has to be given.
    QBuffer buffer(&read.bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "bmp");
    if (!reader.read(&loaded.image)) {
        loaded.image = QImage();
        loaded.error = reader.errorString();
    }
    return loaded;
}

} // namespace varlo
