// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/fleetnames.h"

#include "model/inputexcerpt.h"
#include "model/messageset.h"

#include <QRegularExpression>

namespace varlo::fleet::names {

QString nameProblem(const QString &name)
{
    static const QRegularExpression allowed(QStringLiteral("^[A-Za-z0-9_-]+$"));
    if (name.isEmpty())
        return QStringLiteral("a name can't be empty");
    if (name.size() > kMaxNameLength)
        return QStringLiteral("'%1' is longer than %2 characters").arg(inputExcerpt(name)).arg(kMaxNameLength);
    if (!allowed.match(name).hasMatch())
        return QStringLiteral("'%1' may hold only letters, digits, '-' and '_'").arg(inputExcerpt(name));
    return {};
}

QString namesProblem(const QStringList &names)
{
    for (const QString &name : names) {
        if (QString problem = nameProblem(name); !problem.isEmpty())
            return problem;
    }
    return {};
}

int slotOfLetter(QStringView letter, Qt::CaseSensitivity sensitivity)
{
    if (letter.size() != 1)
        return -1;
    QChar c = letter.front();
    if (sensitivity == Qt::CaseInsensitive)
        c = c.toUpper();
    if (c < QLatin1Char('A') || c > QLatin1Char('Z'))
        return -1;
    return MessageSet::slotIndex(c.toLatin1());
}

} // namespace varlo::fleet::names
