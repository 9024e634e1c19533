// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/credentials.h"

#include "files/readfile.h"

namespace varlo::fleet {

namespace {

// Far more than any user name and password; a bigger file is some other file.
constexpr qint64 kMaxFileBytes = 64 * 1024;

} // namespace

Credentials::Credentials(QString userName, QString password)
    : m_userName(std::move(userName))
    , m_password(std::move(password))
{
}

std::optional<Credentials> Credentials::read(const QString &path, QString *error)
{
    const auto fail = [&](const QString &why) -> std::optional<Credentials> {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return std::nullopt;
    };
    const FileRead read = readFile(path, {kMaxFileBytes, "a credentials file"});
    if (!read.ok())
        return fail(read.reason);
    if (read.permissions & QFileDevice::ReadOther)
        return fail(QStringLiteral("every user can read it; make it private first: chmod o-r '%1'").arg(path));
    const QString text = QString::fromUtf8(read.bytes);

    std::optional<QString> userName;
    std::optional<QString> password;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines.at(i);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty() || line.trimmed().startsWith(QLatin1Char('#')))
            continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString key = line.left(qMax<qsizetype>(equals, 0)).trimmed();
        const QString value = line.mid(equals + 1);
        if (equals > 0 && key == QLatin1String("username") && !userName)
            userName = value;
        else if (equals > 0 && key == QLatin1String("password") && !password)
            password = value;
        else
            return fail(QStringLiteral("line %1: not username=NAME or password=SECRET, each once").arg(i + 1));
    }
    if (!userName || userName->isEmpty())
        return fail(QStringLiteral("no username=NAME line"));
    return Credentials(*userName, password.value_or(QString()));
}

} // namespace varlo::fleet
