#pragma once

#include <QIcon>
#include <QString>

namespace varlo {

// A tool bar or menu picture by its name ("star", "save", ...), drawn from
// its SVG at the usual sizes so it stays crisp at any screen scale.
QIcon toolIcon(const QString &name);

} // namespace varlo
