// SPDX-License-Identifier: GPL-3.0-or-later
// The font in use: the setting the window and varlo-cli share, a file that
// can't be used standing in for the built-in font, and where the shipped
// fonts are found.
#include "charset/fontinuse.h"
#include "charset/shippedfonts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using namespace varlo;

namespace {

const QString kCyrillic = QStringLiteral(VARLO_FONTS_DIR "/cyrillic.vlf");

void writeFile(const QString &path, const QByteArray &bytes)
{
    QVERIFY(QDir().mkpath(QFileInfo(path).path()));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QStringList names(const QList<ShippedFont> &fonts)
{
    QStringList list;
    for (const ShippedFont &font : fonts)
        list << font.name;
    return list;
}

} // namespace

class TestFontInUse : public QObject
{
    Q_OBJECT

private slots:
    void rememberedInTheConfigFolder();
    void aFontFileInUse();
    void unusableFileGivesTheBuiltInFont_data();
    void unusableFileGivesTheBuiltInFont();
    void shippedFontsByName();
    void shippedFontFoldersOfABuildAndAnInstall();
};

void TestFontInUse::rememberedInTheConfigFolder()
{
    QTemporaryDir config;
    QCOMPARE(FontInUse::rememberedPath(config.path()), QString());
    QCOMPARE(FontInUse::remember(config.path(), kCyrillic), QString());
    QCOMPARE(FontInUse::rememberedPath(config.path()), kCyrillic);
    QVERIFY(QFile::exists(config.filePath(QStringLiteral("varlo/varlo.conf"))));
    // Another folder knows nothing of it.
    QTemporaryDir other;
    QCOMPARE(FontInUse::rememberedPath(other.path()), QString());
    QCOMPARE(FontInUse::remember(config.path(), QString()), QString());
    QCOMPARE(FontInUse::rememberedPath(config.path()), QString());

    // A folder that can't hold the file: the reason.
    writeFile(other.filePath(QStringLiteral("varlo")), "a file where the folder should be");
    QVERIFY(!FontInUse::remember(other.path(), kCyrillic).isEmpty());
}

void TestFontInUse::aFontFileInUse()
{
    const FontInUse cyrillic = FontInUse::load(kCyrillic);
    QVERIFY(!cyrillic.isBuiltIn());
    QCOMPARE(cyrillic.problem(), QString());
    QCOMPARE(cyrillic.name(), QStringLiteral("cyrillic.vlf"));
    QCOMPARE(cyrillic.image(), readFontFilePath(kCyrillic).font->image());
    QCOMPARE(cyrillic.charMap().toByte(QChar(u'Ж')), std::optional<quint8>(134));

    for (const QString &builtIn : {QString(), QStringLiteral("builtin")}) {
        const FontInUse used = FontInUse::load(builtIn);
        QVERIFY(used.isBuiltIn());
        QCOMPARE(used.path(), QString());
        QCOMPARE(used.image(), FontTable::image().toByteArray());
        QVERIFY(!used.charMap().toByte(QChar(u'Ж')));
        QCOMPARE(used.name(), QStringLiteral("built-in"));
    }
}

void TestFontInUse::unusableFileGivesTheBuiltInFont_data()
{
    QTest::addColumn<QString>("name"); // in a temporary folder
    QTest::addColumn<QByteArray>("content"); // empty: no such file
    QTest::addColumn<QString>("reason"); // part of problem()

    QTest::newRow("gone") << QStringLiteral("gone.vlf") << QByteArray() << QString();
    QTest::newRow("no longer a font") << QStringLiteral("broken.vlf") << QByteArray("face normal\n[000] x\n")
                                      << QStringLiteral("line 2");
}

void TestFontInUse::unusableFileGivesTheBuiltInFont()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    const QString path = dir.filePath(name);
    if (!content.isEmpty())
        writeFile(path, content);

    const FontInUse used = FontInUse::load(path);
    QVERIFY(used.isBuiltIn());
    QCOMPARE(used.path(), path); // still the one chosen
    QVERIFY(!used.problem().isEmpty());
    QVERIFY2(used.problem().contains(reason), qPrintable(used.problem()));
    QCOMPARE(used.image(), FontTable::image().toByteArray());
    QCOMPARE(used.charMap().toByte(QChar(u'A')), std::optional<quint8>(65));
    QVERIFY2(used.describe().contains(path) && used.describe().contains(used.problem()), qPrintable(used.describe()));
}

void TestFontInUse::shippedFontsByName()
{
    QTemporaryDir first;
    QTemporaryDir second;
    for (const char *name : {"latin.vlf", "hebrew.vlf"})
        writeFile(first.filePath(QLatin1String(name)), "face normal\n");
    for (const char *name : {"latin.vlf", "arabic.vlf", "notes.txt"})
        writeFile(second.filePath(QLatin1String(name)), "face normal\n");

    const QList<ShippedFont> fonts = shippedFonts({first.path(), second.path()});
    QCOMPARE(names(fonts), (QStringList{"arabic", "hebrew", "latin"}));
    // A name in both folders is the first folder's.
    QCOMPARE(fonts.at(2).path, first.filePath(QStringLiteral("latin.vlf")));
    QCOMPARE(shippedFonts({}), QList<ShippedFont>());
}

void TestFontInUse::shippedFontFoldersOfABuildAndAnInstall()
{
    // This test runs from the build folder: the source tree's fonts first.
    const QStringList fromBuild = shippedFontFolders(QCoreApplication::applicationDirPath());
    QVERIFY(!fromBuild.isEmpty());
    QCOMPARE(fromBuild.first(), QFileInfo(QStringLiteral(VARLO_FONTS_DIR)).canonicalFilePath());
    QVERIFY(names(shippedFonts(fromBuild)).contains(QStringLiteral("cyrillic")));

    // Installed under a prefix: <prefix>/share/varlo/fonts, no source tree.
    QTemporaryDir prefix;
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("bin")));
    QVERIFY(QDir(prefix.path()).mkpath(QStringLiteral("share/varlo/fonts")));
    const QStringList installed = shippedFontFolders(prefix.filePath(QStringLiteral("bin")));
    QVERIFY(!installed.isEmpty());
    QCOMPARE(installed.first(), QFileInfo(prefix.filePath(QStringLiteral("share/varlo/fonts"))).canonicalFilePath());
    QVERIFY(!installed.contains(QFileInfo(QStringLiteral(VARLO_FONTS_DIR)).canonicalFilePath()));
}

QTEST_GUILESS_MAIN(TestFontInUse)
#include "tst_fontinuse.moc"
