#ifndef OBJECTLOOKUP_H
#define OBJECTLOOKUP_H

#include <QObject>

#include <map>
#include <memory>

// Hands out small integer handles for objects and owns what is registered. Handles start at 0
// and are never reused, so a stale handle can never find a newer object.
class ObjectLookup : public QObject
{
    Q_OBJECT

public:
    ObjectLookup();
    ~ObjectLookup() override;

    int add(QObject *object);
    QObject *lookup(int handle) const;
    QObject *take(int handle);

private:
    std::map<int, std::unique_ptr<QObject>> objects;
    int nextHandle = 0;
};

#endif // OBJECTLOOKUP_H
