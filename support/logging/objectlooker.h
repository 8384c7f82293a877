#ifndef OBJECTLOOKER_H
#define OBJECTLOOKER_H

#include <QObject>

// The registry's companion object class; it adds nothing of its own.
class ObjectLooker : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;
};

#endif // OBJECTLOOKER_H
