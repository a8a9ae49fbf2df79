#include "toolkit/WindowRegistry.h"

#include "toolkit/Modal.h"

#include <QDialog>
#include <QWidget>

namespace {
int slot(WindowId id) { return static_cast<int>(id); }
bool valid(WindowId id) { return slot(id) >= 0 && slot(id) < static_cast<int>(WindowId::Count); }
} // namespace

void WindowRegistry::add(WindowId id, ManagedWindow* window)
{
    if (valid(id))
        windows_[slot(id)] = window;
}

void WindowRegistry::remove(WindowId id)
{
    if (valid(id))
        windows_[slot(id)] = nullptr;
}

void WindowRegistry::clear() { windows_.fill(nullptr); }

ManagedWindow* WindowRegistry::find(WindowId id) const { return valid(id) ? windows_[slot(id)] : nullptr; }

void WindowRegistry::prepareAndShow(WindowId id)
{
    ManagedWindow* w = find(id);
    if (!w)
        return;
    w->prepare();
    w->widget()->show();
    w->widget()->raise();
}

int WindowRegistry::prepareAndExec(WindowId id, int argument)
{
    ManagedWindow* w = find(id);
    if (!w)
        return WindowResult::Rejected;
    if (argument < 0)
        w->prepare();
    else
        w->prepareFor(argument);
    return exec(id);
}

int WindowRegistry::exec(WindowId id)
{
    ManagedWindow* w = find(id);
    auto* dialog = w ? qobject_cast<QDialog*>(w->widget()) : nullptr;
    return dialog ? modal().execWindow(dialog) : WindowResult::Rejected;
}

void WindowRegistry::prepare(WindowId id)
{
    if (ManagedWindow* w = find(id))
        w->prepare();
}

void WindowRegistry::close(WindowId id)
{
    if (ManagedWindow* w = find(id))
        w->widget()->close();
}

void WindowRegistry::notify(WindowEvent event, PageReset resetFrom) const
{
    if (listener)
        listener(event, resetFrom);
}

WindowRegistry& windows()
{
    static WindowRegistry registry;
    return registry;
}
