// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

#include <optional>

namespace varlo::fleet {

// A user name and password for the broker, read from a file so that they
// never appear on a command line (which every user can list):
//
//   # the broker account of the shop panels
//   username=shop-agent
//   password=a long secret = with anything in it
//
// One `key=value` per line; the value runs to the end of the line, spaces
// and further '=' included. Empty lines and lines starting with '#' are
// skipped. A file that every user may read is refused: its secret would
// be anybody's.
class Credentials
{
public:
    // Nothing, with the reason in *error, for a file that can't be read, is
    // readable by every user, or says something other than the above.
    static std::optional<Credentials> read(const QString &path, QString *error);
    // For callers that have the two already (tests, a window's dialog).
    Credentials(QString userName, QString password);

    QString userName() const { return m_userName; }
    QString password() const { return m_password; }

private:
    QString m_userName;
    QString m_password;
};

} // namespace varlo::fleet
