// SPDX-License-Identifier: GPL-3.0-or-later
// Feeds arbitrary bytes to the two readers of where and as whom to reach the
// broker: as a --broker address, and as a --credentials file. Each gives a
// usable result or a short reason, never a quote of the whole input (an
// address can be a pasted line, a credentials file holds a secret).

#include "fleet/brokerurl.h"
#include "fleet/credentials.h"

#include "require.h"

#include <QFile>
#include <QTemporaryDir>

#include <cstdint>

using namespace varlo;
using namespace varlo::fleet;
using varlo::fuzz::require;
using varlo::fuzz::requireMessage;

namespace {

void checkAddress(const QString &text)
{
    QString error;
    const std::optional<BrokerUrl> url = BrokerUrl::parse(text, &error);
    if (!url) {
        requireMessage(error, "the reason an address is refused");
        return;
    }
    require(!url->host().isEmpty(), "an address without a host");
    require(url->port() > 0 && url->port() <= 65535, "an address with a port that is none");
    // The address as the programs show it reads back as the same broker.
    QString againError;
    const std::optional<BrokerUrl> again = BrokerUrl::parse(url->toString(), &againError);
    require(again.has_value(), "an address shown does not read back");
    require(again->host() == url->host() && again->port() == url->port() && again->tls() == url->tls(),
            "an address shown reads back as another broker");
}

void checkCredentials(const QByteArray &bytes)
{
    // One private file, rewritten for every input.
    static QTemporaryDir folder;
    static const QString path = folder.path() + QStringLiteral("/credentials");
    QFile file(path);
    require(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "the credentials file can't be written");
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.write(bytes);
    file.close();

    QString error;
    const std::optional<Credentials> credentials = Credentials::read(path, &error);
    if (!credentials) {
        requireMessage(error, "the reason a credentials file is refused");
        // The reason says where, never what: the file holds a secret, so
        // besides its path the reason is the reader's own few words.
        require(QString(error).remove(path).size() <= 200, "a refusal that quotes the file");
        return;
    }
    require(!credentials->userName().isEmpty(), "credentials without a user name");
    require(!credentials->userName().contains(QLatin1Char('\n'))
                && !credentials->password().contains(QLatin1Char('\n')),
            "a user name or password that runs over a line");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    checkAddress(QString::fromUtf8(bytes));
    checkCredentials(bytes);
    return 0;
}
