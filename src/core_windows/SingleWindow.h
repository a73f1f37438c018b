#pragma once

#include <QPointer>

// The one window of a kind for the whole run (launcher, editor, monitor,
// grouping dialog, help viewer). It is made on first use; its load, when it
// has one, runs once right after, when the window already is the instance, so
// a load that asks for the window gets this one and not a second. Deleted in
// any way (destroy(), a parent, a close that deletes), it is forgotten and the
// next use makes a fresh one.
template<typename Window> class SingleWindow
{
public:
    // `make` builds the window (the class's constructor may be private, so
    // the class hands over a factory); `load` is its once-only load, or null.
    template<typename Make> static Window &instance(Make make, void (Window::*load)() = nullptr)
    {
        if (!s_window) {
            s_window = make();
            if (load)
                (s_window->*load)();
        }
        return *s_window;
    }

    static void destroy() { delete s_window.data(); }

private:
    static inline QPointer<Window> s_window;
};
