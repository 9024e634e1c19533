// SPDX-License-Identifier: GPL-3.0-or-later
#include "schedule/excerpt.h"

#include "model/inputexcerpt.h"

namespace varlo {

namespace {

constexpr int kMaxExcerpt = 24;

} // namespace

QString quotedExcerpt(const QString &text)
{
    return QLatin1Char('\'') + inputExcerpt(text, kMaxExcerpt) + QLatin1Char('\'');
}

} // namespace varlo
