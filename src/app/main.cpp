#include "app/dialogs.h"
#include "app/shell.h"

#include <QApplication>
#include <QMessageBox>

#include <exception>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("varlo"));
    QApplication::setApplicationDisplayName(QStringLiteral("Varlo"));
    QApplication::setApplicationVersion(QStringLiteral("3.00"));

    try {
        auto window = varlo::StartWindows(varlo::DefaultFolders(),
                                          std::make_unique<varlo::WidgetDialogs>());
        QApplication::exec();
    } catch (const std::exception &error) {
        QMessageBox::critical(nullptr, QApplication::applicationDisplayName(),
                              QString::fromLocal8Bit(error.what()));
    }
    // The program has always ended with 0, whatever happened.
    return 0;
}
