// SPDX-License-Identifier: GPL-3.0-or-later
// Starts the real windows in a scratch folder, fills a few slots the way a
// user would, and saves a picture of the main window, or with --preview of
// the Preview window on slot B, or with --font-editor of the Character
// Generator.
//   varlo-screenshot [--preview | --font-editor] OUTPUT.png

#include "charactergenerator/fonteditorwindow.h"
#include "mainwindow/startup.h"
#include "preview/previewwindow.h"
#include "slotrows/slotedit.h"
#include "slotrows/slotrows.h"
#include "slotrows/speedbutton.h"
#include "windowkit/dialogs.h"

#include <QAction>
#include <QApplication>
#include <QFont>
#include <QCommandLineParser>
#include <QComboBox>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>

#include <cstdio>

namespace {

// Nothing should ask anything while the picture is taken.
class SilentDialogs : public varlo::Dialogs
{
public:
    void showMessage(QWidget *, const QString &text, const QString &) override
    {
        std::fprintf(stderr, "message: %s\n", qPrintable(text));
    }
    bool confirm(QWidget *, const QString &, const QString &) override { return false; }
    SaveChoice askSaveChanges(QWidget *, const QString &, const QString &) override { return SaveChoice::Cancel; }
    bool askRestore(QWidget *, const QString &, const QString &) override { return false; }
    QString openFileName(QWidget *, const QString &, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, const QString &) override { return {}; }
    int chooseItem(QWidget *, const QString &, const QString &, const QStringList &, int) override { return -1; }
    bool runDialog(QDialog *) override { return false; }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    // The pictures in docs/ must not change with the machine that takes
    // them: the style and the user-interface font are the run's own (the
    // slot boxes use FreeMono anyway), from the fonts the build installs.
    QApplication::setStyle(QStringLiteral("Fusion"));
    QFont ui(QStringLiteral("DejaVu Sans"));
    ui.setPointSize(9);
    QApplication::setFont(ui);
    QCommandLineParser parser;
    parser.addHelpOption();
    const QCommandLineOption previewOption(QStringLiteral("preview"),
                                           QStringLiteral("Save the Preview window instead."));
    parser.addOption(previewOption);
    const QCommandLineOption fontEditorOption(QStringLiteral("font-editor"),
                                              QStringLiteral("Save the Character Generator instead."));
    parser.addOption(fontEditorOption);
    parser.addPositionalArgument(QStringLiteral("OUTPUT.png"), QStringLiteral("The picture to write."));
    parser.process(app);
    if (parser.positionalArguments().size() != 1)
        parser.showHelp(2);
    const QString output = parser.positionalArguments().constFirst();
    const bool preview = parser.isSet(previewOption);
    const bool fontEditor = parser.isSet(fontEditorOption);
    QTemporaryDir folder;
    // No copy of unsaved messages and the built-in font: the picture must not
    // depend on the user's.
    auto window =
        varlo::startWindows({folder.path(), folder.path(), QString(), {}, {}}, std::make_unique<SilentDialogs>());

    const QByteArray samples[] = {
        "WELCOME TO VARLO ~H", "~BTODAY'S SPECIAL~A: COFFEE & CAKE ~+",
        "OPEN 9:00 ~> 18:00",  "~FSALE~F -50% ON ALL ITEMS ~S",
        "CALL US ~P 555 0123", "FLIGHTS TO M\x9aNCHEN ~x",
    };
    int slot = 0;
    for (const QByteArray &text : samples)
        window->slotRows()->edit(slot++)->setMarkup(text);
    window->slotRows()->speedButton(1)->click();
    window->slotRows()->speedButton(3)->click();
    window->slotRows()->speedButton(3)->click();
    window->findChild<QSlider *>(QStringLiteral("suiTrackBar1"))->setValue(2);
    window->slotRows()->edit(2)->setFocus();
    window->slotRows()->edit(2)->setCursorPosition(8);
    if (preview) {
        window->slotRows()->edit(1)->setFocus();
        window->findChild<QAction *>(QStringLiteral("Preview1"))->trigger();
    }
    if (fontEditor) {
        window->findChild<QAction *>(QStringLiteral("CharacterGenerator1"))->trigger();
        window->fontEditor()->choose(varlo::FontTable::Font::Normal, 15); // the heart
    }

    QTimer::singleShot(700, &app, [&] {
        QWidget *shown = window.get();
        if (preview) {
            auto *previewWindow = window->previewWindow();
            // Slot B (bold, then normal) at the slowest speed, 72 steps in:
            // its start 8 dots from the left edge.
            previewWindow->seek(7200);
            shown = previewWindow;
        }
        if (fontEditor)
            shown = window->fontEditor();
        const bool saved = shown->grab().save(output);
        std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(output));
        app.exit(saved ? 0 : 1);
    });
    return QApplication::exec();
}
