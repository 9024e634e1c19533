// SPDX-License-Identifier: GPL-3.0-or-later
#include "slotrows/insertcommands.h"

#include "slotrows/slotrows.h"

#include <QAction>
#include <QCoreApplication>

namespace varlo {

QString InsertCommand::menuText() const
{
    if (!menuItem)
        return {};
    return QCoreApplication::translate("InsertCommand", findEscape(selector)->name);
}

std::vector<QAction *> makeInsertActions(SlotRows *rows, const IconSource &icon, QObject *parent)
{
    std::vector<QAction *> actions;
    for (const InsertCommand &c : kInsertCommands) {
        auto *action = new QAction(c.menuText(), parent);
        action->setObjectName(QLatin1String(c.menuItem ? c.menuItem : c.button));
        if (c.hint) {
            action->setStatusTip(QLatin1String(c.hint));
            action->setToolTip(QLatin1String(c.hint));
        }
        action->setIcon(icon(QLatin1String(c.icon)));
        QObject::connect(action, &QAction::triggered, rows,
                         [rows, escape = c.escape()] { rows->insertEscape(escape); });
        actions.push_back(action);
    }
    return actions;
}

} // namespace varlo
