// SPDX-License-Identifier: GPL-3.0-or-later
#include "mainwindow/fontchoice.h"

#include "charset/shippedfonts.h"
#include "windowkit/dialogs.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QMainWindow>
#include <QStatusBar>

#include <algorithm>

namespace varlo {

namespace {

const QString kFilter = QStringLiteral("Font files (*.vlf)");

bool samePath(const QString &a, const QString &b)
{
    return QFileInfo(a).absoluteFilePath() == QFileInfo(b).absoluteFilePath();
}

} // namespace

FontChoice::FontChoice(QString configHome, QStringList shippedFolders, Dialogs &dialogs, QMainWindow *window)
    : QObject(window)
    , m_configHome(std::move(configHome))
    , m_shippedFolders(std::move(shippedFolders))
    , m_dialogs(dialogs)
    , m_window(window)
    , m_current(FontInUse::load(FontInUse::rememberedPath(m_configHome)))
{
    m_action = new QAction(tr("Font in Use…"), this);
    m_action->setObjectName(QStringLiteral("FontInUse1"));
    m_action->setStatusTip(tr("Choose the font the slots, the Preview and Initial use"));
    connect(m_action, &QAction::triggered, this, &FontChoice::chooseClicked);

    m_label = new QLabel(window);
    m_label->setObjectName(QStringLiteral("FontInUseLabel"));
    window->statusBar()->addPermanentWidget(m_label);
    showName();
    if (!m_current.problem().isEmpty())
        window->statusBar()->showMessage(m_current.describe());
}

void FontChoice::chooseClicked()
{
    const QList<ShippedFont> shipped = shippedFonts(m_shippedFolders);
    QStringList items{tr("Built-in font")};
    QStringList paths{QString()};
    for (const ShippedFont &font : shipped) {
        items << font.name;
        paths << font.path;
    }
    // A file of one's own stays on the list while it is in use.
    const QString &path = m_current.path();
    const bool listed = path.isEmpty()
        || std::any_of(paths.cbegin(), paths.cend(), [&path](const QString &p) { return samePath(p, path); });
    if (!listed) {
        items << QFileInfo(path).fileName();
        paths << path;
    }
    items << tr("Open…");
    int current = 0;
    for (int i = 0; i < paths.size(); ++i) {
        if (!path.isEmpty() && samePath(paths.at(i), path))
            current = i;
    }
    const int chosen = m_dialogs.chooseItem(m_window, tr("Font in Use"),
                                            tr("The font the slots, the Preview and Initial use:"), items, current);
    if (chosen < 0)
        return;
    if (chosen < paths.size()) {
        use(paths.at(chosen));
        return;
    }
    const QString opened = m_dialogs.openFileName(m_window, kFilter, path);
    if (!opened.isEmpty())
        use(opened);
}

bool FontChoice::use(const QString &path)
{
    FontInUse font = FontInUse::load(path);
    if (!font.problem().isEmpty()) {
        m_dialogs.showMessage(m_window, tr("The font file can't be used."),
                              QStringLiteral("%1: %2").arg(QFileInfo(path).fileName(), font.problem()));
        return false;
    }
    const QString reason = FontInUse::remember(m_configHome, font.path());
    take(std::move(font));
    if (!reason.isEmpty())
        m_window->statusBar()->showMessage(tr("The font is used for now but not remembered: %1").arg(reason));
    return true;
}

void FontChoice::reload()
{
    take(FontInUse::load(m_current.path()));
}

void FontChoice::fileSaved(const QString &path)
{
    if (!m_current.path().isEmpty() && samePath(path, m_current.path()))
        reload();
}

void FontChoice::take(FontInUse font)
{
    const bool differs = !(font == m_current);
    m_current = std::move(font);
    showName();
    if (!m_current.problem().isEmpty())
        m_window->statusBar()->showMessage(m_current.describe());
    else if (!m_current.warnings().isEmpty())
        m_window->statusBar()->showMessage(
            tr("%1: %2").arg(m_current.name(), m_current.warnings().join(QStringLiteral("; "))));
    if (differs)
        emit changed();
}

void FontChoice::showName()
{
    if (m_current.problem().isEmpty()) {
        m_label->setText(tr("Font: %1").arg(m_current.name()));
        m_label->setToolTip(m_current.path().isEmpty() ? tr("The built-in font") : m_current.path());
        return;
    }
    m_label->setText(tr("Font: built-in (%1 can't be used)").arg(m_current.name()));
    m_label->setToolTip(QStringLiteral("%1: %2").arg(m_current.path(), m_current.problem()));
}

} // namespace varlo
