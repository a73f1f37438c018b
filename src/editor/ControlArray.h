#pragma once

#include <QString>
#include <map>

// The controls of one control array, found by their index as the window
// names them (vsp(3), Frame4(6)); indices need not be contiguous.
template<typename Control> class ControlArray
{
public:
    Control *operator()(int index) const
    {
        const auto it = m_controls.find(index);
        return it == m_controls.end() ? nullptr : it->second;
    }
    // Gives the control the array's object name for that index: name_index.
    Control *add(const QString &name, int index, Control *control)
    {
        control->setObjectName(name + QLatin1Char('_') + QString::number(index));
        m_controls[index] = control;
        return control;
    }
    const std::map<int, Control *> &all() const { return m_controls; }

private:
    std::map<int, Control *> m_controls;
};
