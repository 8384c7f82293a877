#ifndef ENVIRONMENTGUARD_H
#define ENVIRONMENTGUARD_H

// Changes environment variables for a test and puts every one it touched back as it was (set to
// its old value, or unset), on restore() or when the guard goes.

#include <QByteArray>
#include <QHash>
#include <QPair>
#include <QtGlobal>

class EnvironmentGuard
{
public:
    EnvironmentGuard() = default;
    EnvironmentGuard(const EnvironmentGuard &) = delete;
    EnvironmentGuard &operator=(const EnvironmentGuard &) = delete;
    ~EnvironmentGuard() { restore(); }

    void set(const QByteArray &name, const QByteArray &value)
    {
        remember(name);
        qputenv(name.constData(), value);
    }
    void unset(const QByteArray &name)
    {
        remember(name);
        qunsetenv(name.constData());
    }
    // Sets the variable, or unsets it for a null pointer.
    void set(const QByteArray &name, const QByteArray *value)
    {
        if (value)
            set(name, *value);
        else
            unset(name);
    }
    void restore()
    {
        for (auto it = saved.cbegin(); it != saved.cend(); ++it) {
            if (it.value().first)
                qputenv(it.key().constData(), it.value().second);
            else
                qunsetenv(it.key().constData());
        }
        saved.clear();
    }

private:
    // Only the first change of a variable is remembered: that is the value to go back to.
    void remember(const QByteArray &name)
    {
        if (!saved.contains(name))
            saved.insert(name,
                         {qEnvironmentVariableIsSet(name.constData()), qgetenv(name.constData())});
    }

    QHash<QByteArray, QPair<bool, QByteArray>> saved;
};

#endif // ENVIRONMENTGUARD_H
