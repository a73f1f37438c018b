#include "core_windows/WindowRegistry.h"

#include <QHash>
#include <QPointer>

#include "core_windows/PlainCaption.h"

namespace {
struct Entry
{
    WindowRegistry::Factory factory;
    QPointer<QWidget> window;
};

QHash<QString, Entry> &entries()
{
    static QHash<QString, Entry> table;
    return table;
}

QHash<QString, WindowRegistry::ControlFactory> &controls()
{
    static QHash<QString, WindowRegistry::ControlFactory> table;
    return table;
}
} // namespace

namespace WindowRegistry {

void registerWindow(const QString &name, Factory factory)
{
    entries()[name].factory = std::move(factory);
}

QWidget *window(const QString &name)
{
    auto it = entries().find(name);
    if (it == entries().end())
        return nullptr;
    if (!it->window && it->factory)
        it->window = it->factory();
    return it->window;
}

QWidget *existing(const QString &name)
{
    const auto it = entries().constFind(name);
    return it == entries().constEnd() ? nullptr : it->window.data();
}

bool show(const QString &name)
{
    QWidget *w = window(name);
    if (!w)
        return false;
    w->show();
    w->raise();
    w->activateWindow();
    return true;
}

void registerControl(const QString &name, ControlFactory factory)
{
    controls().insert(name, std::move(factory));
}

QWidget *createControl(const QString &name, QWidget *parent)
{
    const auto it = controls().constFind(name);
    if (it != controls().constEnd() && *it)
        return (*it)(parent);
    return new PlainCaption(parent);
}

void clear()
{
    entries().clear();
    controls().clear();
}

} // namespace WindowRegistry
