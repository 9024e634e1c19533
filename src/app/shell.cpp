#include "app/shell.h"

#include "app/dialogs.h"
#include "app/tform2.h"
#include "app/tform3.h"

#include <QCoreApplication>
#include <QStandardPaths>

namespace varlo {

TForm1::Folders DefaultFolders()
{
    return {QCoreApplication::applicationDirPath(),
            QStandardPaths::writableLocation(QStandardPaths::AppDataLocation)};
}

std::unique_ptr<TForm1> StartWindows(TForm1::Folders folders, std::unique_ptr<Dialogs> dialogs)
{
    auto main = std::make_unique<TForm1>(std::move(folders), std::move(dialogs));
    auto *about = new TForm2(main.get());
    auto *help = new TForm3(main.get());
    main->setSecondaryWindows(about, help);
    main->show();
    return main;
}

} // namespace varlo
