// SPDX-License-Identifier: GPL-3.0-or-later
#include "fleet/brokerurl.h"

#include "model/inputexcerpt.h"

#include <QUrl>

namespace varlo::fleet {

std::optional<BrokerUrl> BrokerUrl::parse(const QString &text, QString *error)
{
    const QUrl url(text, QUrl::StrictMode);
    const auto fail = [&](const QString &why) -> std::optional<BrokerUrl> {
        *error = QStringLiteral("%1: %2").arg(printable(text), why);
        return std::nullopt;
    };
    const QString scheme = url.scheme().toLower();
    if (!url.isValid() || (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts")))
        return fail(QStringLiteral("not mqtt://HOST[:PORT] or mqtts://HOST[:PORT]"));
    if (!url.userInfo().isEmpty())
        return fail(QStringLiteral("a user name or password does not belong in the broker address; "
                                   "give them in a file with --credentials"));
    if (url.host().isEmpty())
        return fail(QStringLiteral("the host is missing"));
    if (!url.path().isEmpty() && url.path() != QLatin1String("/"))
        return fail(QStringLiteral("an MQTT broker address has no path"));
    if (url.hasQuery() || url.hasFragment())
        return fail(QStringLiteral("an MQTT broker address has no query or fragment"));
    // QUrl says -1 for no port, and refuses ports above 65535 as invalid.
    if (url.port() == 0)
        return fail(QStringLiteral("port 0 is no port"));

    BrokerUrl broker;
    broker.m_host = url.host();
    broker.m_port = qMax(url.port(), 0);
    broker.m_tls = scheme == QLatin1String("mqtts");
    return broker;
}

QString BrokerUrl::printable(const QString &text)
{
    // The address is quoted as input is (it may be a whole pasted line, with
    // control characters), and never with a password someone put in it.
    if (const QUrl url(text, QUrl::StrictMode); url.isValid() && !url.userInfo().isEmpty())
        return inputExcerpt(url.adjusted(QUrl::RemoveUserInfo).toString());
    // Not an address QUrl reads: the user info runs from after "://" (or
    // the start) to the last '@', and the password from its first ':'.
    // Masked before it is cut, so no beginning of it shows either.
    QString masked = text;
    const qsizetype at = masked.lastIndexOf(QLatin1Char('@'));
    if (at >= 0) {
        const qsizetype scheme = masked.indexOf(QLatin1String("://"));
        const qsizetype userStart = scheme >= 0 && scheme < at ? scheme + 3 : 0;
        const qsizetype colon = masked.indexOf(QLatin1Char(':'), userStart);
        if (colon >= 0 && colon < at)
            masked.replace(colon + 1, at - colon - 1, QStringLiteral("****"));
    }
    return inputExcerpt(masked);
}

int BrokerUrl::port() const
{
    if (m_port > 0)
        return m_port;
    return m_tls ? kTlsPort : kPlainPort;
}

QString BrokerUrl::toString() const
{
    QUrl url;
    url.setScheme(m_tls ? QStringLiteral("mqtts") : QStringLiteral("mqtt"));
    url.setHost(m_host);
    url.setPort(port());
    return url.toString();
}

} // namespace varlo::fleet
