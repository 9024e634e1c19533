// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/excerpt.h"

#include <QList>

namespace varlo {

namespace {

constexpr int kMaxExcerpt = 24;

} // namespace

QString quotedExcerpt(const QString &text)
{
    QString shown;
    int characters = 0;
    for (const uint codePoint : text.toUcs4()) {
        if (++characters > kMaxExcerpt) {
            shown += QStringLiteral("…");
            break;
        }
        const char32_t one = codePoint;
        const QString character = QString::fromUcs4(&one, 1);
        const QChar::Category category = QChar::category(codePoint);
        if (codePoint < 0x80 && (codePoint < 0x20 || codePoint == 0x7F))
            shown += QString::asprintf("\\x%02X", codePoint);
        else if (category == QChar::Other_Control || category == QChar::Other_Format
                 || category == QChar::Separator_Line || category == QChar::Separator_Paragraph
                 || category == QChar::Other_NotAssigned || category == QChar::Other_Surrogate)
            shown += QString::asprintf("\\u%04X", codePoint);
        else
            shown += character;
    }
    return QLatin1Char('\'') + shown + QLatin1Char('\'');
}

} // namespace varlo
