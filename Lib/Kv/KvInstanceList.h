// The live objects of one child-control class of the library. A class's window procedure finds the
// object of a message's window here (there is no pointer in the window's extra bytes): the
// constructor adds the object, the destructor removes it. UI thread only.
#pragma once

#include <windows.h>

#include <algorithm>
#include <vector>

template <typename T>
class KvInstanceList {
public:
    static std::vector<T*>& Items() {
        static std::vector<T*> items;
        return items;
    }
    static void Add(T* object) { Items().push_back(object); }
    static void Remove(T* object) {
        auto& items = Items();
        items.erase(std::remove(items.begin(), items.end(), object), items.end());
    }
    // The object whose window is `hwnd`, or null.
    static T* Find(HWND hwnd) {
        for (T* object : Items()) {
            if (object->Hwnd() == hwnd) return object;
        }
        return nullptr;
    }
};
