#pragma once

#include <QLatin1String>
#include <QObject>

// The child of `parent` of type T with the object name `name`, or null.
template <typename T> T* child(const QObject* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}
