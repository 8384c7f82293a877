#include "objectlookup.h"

ObjectLookup::ObjectLookup() : QObject(nullptr) { }

ObjectLookup::~ObjectLookup()
{
    // Later objects may refer to earlier ones, so they go first.
    for (auto it = objects.rbegin(); it != objects.rend(); ++it)
        it->second.reset();
    objects.clear();
}

int ObjectLookup::add(QObject *object)
{
    const int handle = nextHandle++;
    if (objects.count(handle))
        return -1;
    objects[handle].reset(object);
    return handle;
}

QObject *ObjectLookup::lookup(int handle) const
{
    // find(), not operator[]: a lookup of an unknown handle leaves no entry behind.
    const auto it = objects.find(handle);
    return it == objects.end() ? nullptr : it->second.get();
}

QObject *ObjectLookup::take(int handle)
{
    const auto it = objects.find(handle);
    if (it == objects.end())
        return nullptr;
    QObject *object = it->second.release();
    objects.erase(it);
    return object;
}
