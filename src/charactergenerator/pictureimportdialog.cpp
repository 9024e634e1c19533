// SPDX-License-Identifier: GPL-3.0-or-later
#include "charactergenerator/pictureimportdialog.h"

#include "display/ledpainter.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>

namespace varlo {

namespace {

constexpr int kPitch = 6;
// Between the cells, so that the cut shows.
constexpr int kCellGap = 1;

} // namespace

PictureImportDialog::PictureImportDialog(const QImage &picture, quint8 firstCode, QWidget *parent)
    : QDialog(parent)
    , m_scaled(PictureGlyphs::scaled(picture))
    , m_firstCode(firstCode)
{
    setObjectName(QStringLiteral("PictureImport"));
    setWindowTitle(tr("Import Picture"));

    m_dots = new QLabel(this);
    m_dots->setObjectName(QStringLiteral("dots"));
    m_dots->setAlignment(Qt::AlignCenter);
    // A long picture scrolls rather than making the dialog wider than the
    // screen.
    auto *scroll = new QScrollArea(this);
    scroll->setWidget(m_dots);
    scroll->setWidgetResizable(true);
    scroll->setMinimumHeight(FontTable::kGlyphRows * kPitch + 2 * scroll->frameWidth() + 24);
    m_codes = new QLabel(this);
    m_codes->setObjectName(QStringLiteral("codes"));
    m_codes->setWordWrap(true);

    m_threshold = new QSlider(Qt::Horizontal, this);
    m_threshold->setObjectName(QStringLiteral("threshold"));
    m_threshold->setRange(1, 255);
    m_threshold->setValue(PictureGlyphs::kDefaultThreshold);
    m_threshold->setAccessibleName(tr("Threshold"));
    m_threshold->setToolTip(tr("Pixels darker than this light their dot"));
    m_lightIsLit = new QCheckBox(tr("&Light pixels light the dots"), this);
    m_lightIsLit->setObjectName(QStringLiteral("lightIsLit"));
    m_lightIsLit->setToolTip(tr("For a light drawing on a dark ground"));

    auto *form = new QFormLayout;
    form->addRow(tr("&Threshold:"), m_threshold);
    form->addRow(QString(), m_lightIsLit);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(m_codes);
    layout->addLayout(form);
    layout->addWidget(buttons);

    connect(m_threshold, &QSlider::valueChanged, this, &PictureImportDialog::showGlyphs);
    connect(m_lightIsLit, &QCheckBox::toggled, this, &PictureImportDialog::showGlyphs);
    showGlyphs();
}

void PictureImportDialog::showGlyphs()
{
    m_glyphs = PictureGlyphs::cut(m_scaled, m_threshold->value(), m_lightIsLit->isChecked());
    const size_t room = size_t(FontTable::kGlyphCount - m_firstCode);
    const size_t cut = m_glyphs.size();
    if (m_glyphs.size() > room)
        m_glyphs.resize(room);

    const int cells = int(m_glyphs.size());
    const int lastCode = m_firstCode + cells - 1;
    QString codes = cells == 1 ? tr("Into code %1.").arg(m_firstCode)
                               : tr("Into codes %1 to %2, %3 glyphs.").arg(m_firstCode).arg(lastCode).arg(cells);
    if (cut > room)
        codes += QLatin1Char(' ') + tr("The picture is %1 glyphs wide: what goes past code 255 is left out.").arg(cut);
    m_codes->setText(codes);

    // The cells side by side with a dark column between them.
    const int cellWidth = FontTable::kGlyphBytes + kCellGap;
    DotMatrix dots(std::max(1, cells * cellWidth - kCellGap), FontTable::kGlyphRows);
    for (int cell = 0; cell < cells; ++cell) {
        for (int x = 0; x < FontTable::kGlyphBytes; ++x)
            dots.setColumn(cell * cellWidth + x, m_glyphs[size_t(cell)][size_t(x)]);
    }
    LedStyle style;
    style.pitch = kPitch;
    m_dots->setPixmap(QPixmap::fromImage(renderLedPicture(dots, style)));
}

} // namespace varlo
