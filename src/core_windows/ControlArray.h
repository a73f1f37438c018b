#pragma once

#include "core_windows/ControlNames.h"

#include <QString>
#include <map>

// The controls of one control array, found by their index as the window
// names them (vsp(3), MMessage[2]); indices need not be contiguous. An index
// that holds no control gives null. Iterating yields (index, control) pairs
// in index order.
template<typename Control> class ControlArray
{
public:
    Control *operator()(int index) const
    {
        const auto it = m_controls.find(index);
        return it == m_controls.end() ? nullptr : it->second;
    }
    Control *operator[](int index) const { return (*this)(index); }
    Control *at(int index) const { return (*this)(index); }

    // Gives the control the array's object name for that index: name_index.
    Control *add(const QString &name, int index, Control *control)
    {
        return insert(index, named(control, name, index));
    }
    // A control that already carries its array name (built by a panel of its own).
    Control *insert(int index, Control *control)
    {
        m_controls[index] = control;
        return control;
    }

    auto begin() const { return m_controls.begin(); }
    auto end() const { return m_controls.end(); }

private:
    std::map<int, Control *> m_controls;
};
