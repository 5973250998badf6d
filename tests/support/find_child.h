#pragma once
// A window's control found by its object name, as the window names it: tests reach controls
// through the window's public face, never through its members.

#include <QObject>
#include <QString>
#include <stdexcept>
#include <string>

namespace vexilo::test {

// Throws (failing the test) when the window has no such control.
template <class T>
T& child(const QObject& parent, const char* name) {
    T* found = parent.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) throw std::runtime_error(std::string("no control named ") + name);
    return *found;
}

}  // namespace vexilo::test
