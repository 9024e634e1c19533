// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QtGlobal>

namespace varlo::test {

// An environment variable as it was when this was made, put back when it
// goes: a fixture that points a variable elsewhere for the programs a test
// starts leaves the next test the environment it found.
class SavedVariable
{
public:
    explicit SavedVariable(const char *name)
        : m_name(name)
        , m_value(qgetenv(name))
        , m_wasSet(qEnvironmentVariableIsSet(name))
    {
    }
    ~SavedVariable()
    {
        if (m_wasSet)
            qputenv(m_name, m_value);
        else
            qunsetenv(m_name);
    }
    SavedVariable(const SavedVariable &) = delete;
    SavedVariable &operator=(const SavedVariable &) = delete;

private:
    const char *m_name;
    QByteArray m_value;
    bool m_wasSet;
};

} // namespace varlo::test
