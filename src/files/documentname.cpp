// SPDX-License-Identifier: GPL-3.0-or-later
#include "files/documentname.h"

namespace varlo::documentname {

namespace {

bool isSeparator(QChar ch)
{
#ifdef Q_OS_WIN
    return ch == QLatin1Char('/') || ch == QLatin1Char('\\') || ch == QLatin1Char(':');
#else
    return ch == QLatin1Char('/');
#endif
}

qsizetype lastSeparator(const QString &path)
{
    for (qsizetype i = path.size() - 1; i >= 0; --i) {
        if (isSeparator(path.at(i)))
            return i;
    }
    return -1;
}

} // namespace

QString fileNamePart(const QString &path)
{
    return path.mid(lastSeparator(path) + 1);
}

bool isUntitled(const QString &path)
{
    const QString name = fileNamePart(path);
    return name.isEmpty() || name == QLatin1String(kUntitled);
}

QString withDefaultExtension(const QString &path)
{
    if (path.lastIndexOf(QLatin1Char('.')) > lastSeparator(path))
        return path;
    return path + QLatin1String(kExtension);
}

} // namespace varlo::documentname
