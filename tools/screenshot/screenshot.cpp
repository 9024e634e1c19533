// Starts the real windows in a scratch folder, fills a few slots the way a
// user would, and saves a picture of the main window.
//   varlo-screenshot OUTPUT.png

#include "app/dialogs.h"
#include "app/shell.h"
#include "editor/slotedit.h"

#include <QApplication>
#include <QComboBox>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>

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
    QString openFileName(QWidget *, const QString &, const QString &) override { return {}; }
    QString saveFileName(QWidget *, const QString &, const QString &) override { return {}; }
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: varlo-screenshot OUTPUT.png\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    QTemporaryDir folder;
    auto window = varlo::StartWindows({folder.path(), folder.path()},
                                      std::make_unique<SilentDialogs>());

    const QByteArray samples[] = {
        "WELCOME TO VARLO ~H",
        "~BTODAY'S SPECIAL~A: COFFEE & CAKE ~+",
        "OPEN 9:00 ~> 18:00",
        "~FSALE~F -50% ON ALL ITEMS ~S",
        "CALL US ~P 555 0123",
        "FLIGHTS TO M\x9aNCHEN ~x",
    };
    int slot = 0;
    for (const QByteArray &text : samples)
        window->slotEdit(slot++)->setMarkup(text);
    window->SpeedButtonClick(1);
    window->SpeedButtonClick(3);
    window->SpeedButtonClick(3);
    window->findChild<QSlider *>(QStringLiteral("suiTrackBar1"))->setValue(2);
    window->slotEdit(2)->setFocus();
    window->slotEdit(2)->setCursorPosition(8);

    QTimer::singleShot(700, &app, [&] {
        const bool saved = window->grab().save(output);
        std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(output));
        app.exit(saved ? 0 : 1);
    });
    return QApplication::exec();
}
