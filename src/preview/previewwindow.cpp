// SPDX-License-Identifier: GPL-3.0-or-later
#include "preview/previewwindow.h"

#include "preview/leddisplay.h"

#include "windowkit/warningtext.h"
#include "model/messageblock.h"
#include "model/messageset.h"
#include "display/ledpainter.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>

#include <algorithm>

namespace varlo {

namespace {

constexpr int kDefaultPitch = 8;
// Below this the dots no longer read as dots.
constexpr int kMinPitch = 3;
constexpr int kMaxPitch = 40;
// A strip wider than this, or larger, is not kept (a long text in a large
// window): each frame is then drawn from the dot images alone. Wider
// pixmaps are not safe on every platform.
constexpr int kMaxStripWidthPx = 32767;
constexpr qint64 kMaxStripBytes = 32 * 1024 * 1024;

} // namespace

PreviewWindow::PreviewWindow(QWidget *parent)
    : QWidget(parent, Qt::Tool)
    , m_glyphs(FontTable::image().toByteArray())
    , m_scroller(std::span<const LedCell>{}, MessageSet::kDefaultSpeedCode)
    , m_frame(m_scroller.frameAt(0))
{
    setObjectName(QStringLiteral("Preview"));
    setWindowTitle(tr("Preview"));
    // Opening it must not take the caret out of the slot being typed in.
    setAttribute(Qt::WA_ShowWithoutActivating);

    m_display = new LedDisplay(this);
    m_display->setObjectName(QStringLiteral("PreviewDisplay"));
    m_display->setAccessibleName(tr("The slot as the panel shows it"));
    m_display->setToolTip(tr("The slot as the panel shows it, scrolling at its speed"));
    QPalette board = m_display->palette();
    board.setColor(QPalette::Window, LedStyle{}.background);
    m_display->setPalette(board);
    m_display->setMinimumSize(display::kWidthDots * kMinPitch, display::kHeightDots * kMinPitch);
    m_display->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Ignored);

    m_cells = new QLabel(this);
    m_cells->setObjectName(QStringLiteral("PreviewCells"));
    m_speed = new QLabel(this);
    m_speed->setObjectName(QStringLiteral("PreviewSpeed"));

    auto *facts = new QHBoxLayout;
    facts->addWidget(m_cells);
    facts->addStretch();
    facts->addWidget(m_speed);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 6, 6, 6);
    layout->addWidget(m_display, 1);
    layout->addLayout(facts);

    const int margin = 2 * kDefaultPitch;
    resize(display::kWidthDots * kDefaultPitch + margin + 12,
           display::kHeightDots * kDefaultPitch + margin + 12 + m_cells->sizeHint().height() + 6);

    // One shot to the next change of the picture. A coarse timer may fire
    // early and find nothing to show yet.
    m_timer = new QTimer(this);
    m_timer->setObjectName(QStringLiteral("PreviewTimer"));
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &PreviewWindow::tick);
    m_clock.start();
}

void PreviewWindow::showSlot(int slot, const QByteArray &markup, quint8 speedCode)
{
    if (slot == m_slot && markup == m_markup && speedCode == m_speedCode)
        return;
    m_slot = slot;
    m_markup = markup;
    m_speedCode = speedCode;
    drawText();

    const int cells = markupCellCount(markup);
    const bool over = cells > block::kCellCapacity;
    m_cells->setText(tr("Slot %1 \u2014 %2 of %3 cells")
                         .arg(QLatin1Char(MessageSet::slotLetter(slot)))
                         .arg(cells)
                         .arg(block::kCellCapacity));
    m_cells->setToolTip(over ? tr("The panel shows only the first %1 cells.").arg(block::kCellCapacity) : QString());
    showAsWarning(m_cells, over);

    const ScrollSpeed &speed = m_scroller.speed();
    m_speed->setText(tr("Speed %1 %2").arg(speed.code + 1).arg(QLatin1String(speed.name)));

    seek(0);
}

void PreviewWindow::setGlyphs(const QByteArray &image)
{
    if (image.size() != FontTable::kImageBytes || image == m_glyphs)
        return;
    m_glyphs = image;
    const qint64 at = elapsedMs();
    drawText();
    seek(at);
}

void PreviewWindow::drawText()
{
    const FontTable::Image glyphs(reinterpret_cast<const quint8 *>(m_glyphs.constData()), FontTable::kImageBytes);
    // The text as the panel stores it: cells past the 125th are not shown.
    m_scroller = PanelScroller::fromBlock(encodeMessageBlock(m_markup), m_speedCode, glyphs);
    m_stripsDrawn = false;
}

void PreviewWindow::open()
{
    if (m_closedGeometry.isValid())
        setGeometry(m_closedGeometry);
    else
        placeFirstTime();
    show();
    raise();
}

void PreviewWindow::placeFirstTime()
{
    // Beside the main window, so that it hides none of its rows or its
    // bottom row: to the right, or below where the screen has no room on
    // the right; kept on the screen when neither fits.
    const QWidget *main = parentWidget();
    if (!main)
        return;
    const QRect mainFrame = main->frameGeometry();
    // Before it is first shown the window has no frame yet: it will get one
    // like the main window's.
    const QSize size = this->size() + (mainFrame.size() - main->geometry().size());
    QPoint at(mainFrame.right() + 1, mainFrame.top());
    if (const QScreen *screen = main->screen()) {
        const QRect room = screen->availableGeometry();
        if (!room.contains(QRect(at, size)))
            at = QPoint(mainFrame.left(), mainFrame.bottom() + 1);
        at.setX(std::clamp(at.x(), room.left(), std::max(room.left(), room.right() + 1 - size.width())));
        at.setY(std::clamp(at.y(), room.top(), std::max(room.top(), room.bottom() + 1 - size.height())));
    }
    move(at);
}

bool PreviewWindow::isAnimating() const
{
    return m_timer->isActive();
}

void PreviewWindow::seek(qint64 elapsedMs)
{
    m_clockOffsetMs = elapsedMs;
    m_clock.restart();
    tick();
}

void PreviewWindow::tick()
{
    // One slot alone on the panel: its pass repeats, each from the right
    // edge with its flash phase lit.
    const qint64 passMs = std::max<qint64>(m_scroller.passDurationMs(), 1);
    const qint64 inPassMs = elapsedMs() % passMs;
    showFrame(inPassMs);
    if (isVisible()) {
        const qint64 nextMs = std::min(m_scroller.nextChangeMs(inPassMs), passMs);
        m_timer->start(int(std::max<qint64>(nextMs - inPassMs, 1)));
    }
}

void PreviewWindow::showFrame(qint64 passElapsedMs)
{
    const DotMatrix frame = m_scroller.frameAt(passElapsedMs);
    m_step = m_scroller.stepAt(passElapsedMs);
    m_phaseOn = flashPhaseOn(passElapsedMs);
    // A step into the dark before the text, or a flash change of a text
    // not on the display, shows the same dots again.
    if (frame == m_frame && !m_display->isEmpty())
        return;
    m_frame = frame;
    paintFrame();
}

void PreviewWindow::paintFrame()
{
    if (!isVisible())
        return;
    showFramePart();
}

void PreviewWindow::showFramePart()
{
    LedStyle style;
    style.pitch = std::clamp(std::min(m_display->width() / std::max(m_frame.width(), 1),
                                      m_display->height() / std::max(m_frame.height(), 1)),
                             kMinPitch, kMaxPitch);
    const qreal ratio = m_display->devicePixelRatioF();
    if (m_dots.style().pitch != style.pitch || m_dots.devicePixelRatio() != ratio) {
        m_dots = LedDotImages(style, ratio);
        m_stripsDrawn = false;
    }
    const int pitchPx = m_dots.devicePitch();
    const qint64 stripWidthPx = qint64(2 * m_scroller.widthDots() + m_scroller.textWidthDots()) * pitchPx;
    const qint64 stripBytes = stripWidthPx * m_scroller.heightDots() * pitchPx * 4;
    if (stripWidthPx > kMaxStripWidthPx || stripBytes > kMaxStripBytes) {
        const QPixmap frame = QPixmap::fromImage(m_dots.render(m_frame));
        m_display->showPart(frame, frame.rect());
        return;
    }

    if (!m_stripsDrawn) {
        m_stripLit = QPixmap::fromImage(m_dots.render(m_scroller.strip(true)));
        // Without flash cells both phases are the same picture.
        m_stripDark = m_scroller.hasFlash() ? QPixmap::fromImage(m_dots.render(m_scroller.strip(false))) : m_stripLit;
        m_stripsDrawn = true;
    }
    const QPixmap &strip = m_phaseOn ? m_stripLit : m_stripDark;
    m_display->showPart(strip, QRect(m_step * pitchPx, 0, m_frame.width() * pitchPx, m_frame.height() * pitchPx));
}

void PreviewWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    tick();
    paintFrame();
}

void PreviewWindow::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    // Nothing to draw while hidden: no timer, no wake-ups.
    m_timer->stop();
    m_closedGeometry = geometry();
}

void PreviewWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    paintFrame();
}

} // namespace varlo
