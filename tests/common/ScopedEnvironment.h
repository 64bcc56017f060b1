#pragma once

// An environment variable changed for one scope: put back as it was (or
// unset again) when the scope ends, whether its checks passed or not.

#include <QByteArray>
#include <QtGlobal>

class ScopedEnvironment {
public:
    // value null: the variable is unset for the scope.
    ScopedEnvironment(const char* name, const QByteArray& value)
        : name(name), had(qEnvironmentVariableIsSet(name)), old(qgetenv(name))
    {
        Set(value);
    }
    ~ScopedEnvironment() { Set(had ? old : QByteArray()); }
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

private:
    const char* name;
    bool had;
    QByteArray old;

    void Set(const QByteArray& value)
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
};
