#pragma once

#include <QString>

// Every control carries its design name as objectName, so tests and stored
// layouts find it; a control of an array gets name + "_" + index.
template<typename T> T *named(T *widget, const QString &name)
{
    widget->setObjectName(name);
    return widget;
}

template<typename T> T *named(T *widget, const QString &name, int index)
{
    return named(widget, name + QLatin1Char('_') + QString::number(index));
}
