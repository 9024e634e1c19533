// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowkit/icons.h"

#include <QApplication>
#include <QDir>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOption>
#include <QSvgRenderer>

#include <map>
#include <memory>
#include <utility>

namespace varlo {

namespace {

// Draws the SVG at the size a control asks for, the first time it asks, and
// keeps the result. Rendering the 26 pictures at four sizes each up front
// was the largest single cost of starting the program, while most sizes are
// never shown and the menu pictures only once a menu opens.
class SvgIconEngine final : public QIconEngine
{
public:
    explicit SvgIconEngine(QString path)
        : m_path(std::move(path))
    {
    }

    QIconEngine *clone() const override { return new SvgIconEngine(m_path); }
    QString key() const override { return QStringLiteral("varlo-svg"); }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        // The pictures are square.
        const int side = qMin(size.width(), size.height());
        return {side, side};
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QPixmap drawn = pixmap(rect.size() * ratio, mode, state);
        drawn.setDevicePixelRatio(ratio);
        painter->drawPixmap(rect.topLeft(), drawn);
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State state) override
    {
        const QSize side = actualSize(size, mode, state);
        const auto key = std::make_pair(side.width(), int(mode));
        if (const auto found = m_drawn.find(key); found != m_drawn.end())
            return found->second;

        if (!m_renderer)
            m_renderer = std::make_unique<QSvgRenderer>(m_path);
        QPixmap drawn(side);
        drawn.fill(Qt::transparent);
        QPainter painter(&drawn);
        m_renderer->render(&painter);
        painter.end();
        // Disabled and selected pictures look as the style makes them.
        if (mode != QIcon::Normal && QApplication::style()) {
            QStyleOption option;
            option.palette = QApplication::palette();
            drawn = QApplication::style()->generatedIconPixmap(mode, drawn, &option);
        }
        m_drawn.emplace(key, drawn);
        return drawn;
    }

private:
    QString m_path;
    std::unique_ptr<QSvgRenderer> m_renderer;
    std::map<std::pair<int, int>, QPixmap> m_drawn;
};

} // namespace

QIcon toolIcon(const QString &name)
{
    const QString path = QStringLiteral(":/icons/%1.svg").arg(name);
    Q_ASSERT_X(QSvgRenderer(path).isValid(), "toolIcon", qPrintable(name));
    return QIcon(new SvgIconEngine(path));
}

QIcon applicationIcon()
{
    QIcon builtIn;
    const QDir folder(QStringLiteral(":/appicon"));
    for (const QString &name : folder.entryList({QStringLiteral("varlo-*.png")}, QDir::Files))
        builtIn.addFile(folder.filePath(name));
    return QIcon::fromTheme(QStringLiteral(VARLO_APP_ID), builtIn);
}

} // namespace varlo
