// SPDX-License-Identifier: GPL-3.0-or-later
#include "windowkit/icons.h"

#include <QApplication>
#include <QFile>
#include <QImageReader>
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

// The program's icon from the packaged PNGs, each read when a size near it
// is first asked for. Adding the files to a plain QIcon would have Qt guess
// their format, which loads every image format plugin there is (and the
// libraries behind them) before the first frame.
class PngIconEngine final : public QIconEngine
{
public:
    explicit PngIconEngine(std::map<int, QString> pathsBySide)
        : m_paths(std::move(pathsBySide))
    {
    }

    QIconEngine *clone() const override { return new PngIconEngine(m_paths); }
    QString key() const override { return QStringLiteral("varlo-png"); }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (const auto &[side, path] : m_paths)
            sizes << QSize(side, side);
        return sizes;
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        return {side, side};
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        if (m_paths.empty() || side <= 0)
            return {};
        // The smallest picture at least as large, or else the largest.
        auto found = m_paths.lower_bound(side);
        if (found == m_paths.end())
            found = std::prev(m_paths.end());
        QPixmap &read = m_read[found->first];
        if (read.isNull())
            read = QPixmap::fromImage(QImageReader(found->second, "png").read());
        return read.width() == side ? read : read.scaled(side, side, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    }

private:
    std::map<int, QString> m_paths;
    std::map<int, QPixmap> m_read;
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
    // The sizes the package installs as PNGs.
    std::map<int, QString> paths;
    for (const int side : {16, 24, 32, 48, 64, 128, 256}) {
        const QString path = QStringLiteral(":/appicon/varlo-%1.png").arg(side);
        if (QFile::exists(path))
            paths.emplace(side, path);
    }
    return QIcon::fromTheme(QStringLiteral(VARLO_APP_ID), QIcon(new PngIconEngine(std::move(paths))));
}

} // namespace varlo
