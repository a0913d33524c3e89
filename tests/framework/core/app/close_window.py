"""Waits for a top-level window with the given title, prints its size, and
closes it the way a window manager would: a WM_DELETE_WINDOW client message.
With --pid N only a window of that process counts (other tests may show a
window of the same title on the same display). With --id-only it prints the
window's id instead of its size and leaves it open.
Usage: close_window.py TITLE TIMEOUT_SECONDS [--size-only | --id-only] [--pid N]"""
import sys
import time

from Xlib import X, display, error, protocol


def owner(window, pid_atom):
    prop = window.get_full_property(pid_atom, X.AnyPropertyType)
    return int(prop.value[0]) if prop is not None and len(prop.value) > 0 else None


def find(window, title, atom_name, pid_atom, pid):
    # Other tests open and close windows on the same display meanwhile: a
    # window that vanishes during the walk is simply not the one we want.
    try:
        name = window.get_full_property(atom_name, 0)
        text = name.value.decode() if name is not None and isinstance(name.value, bytes) else None
        if text is None:
            wm_name = window.get_wm_name()
            text = wm_name if isinstance(wm_name, str) else None
        if text == title and (pid is None or owner(window, pid_atom) == pid):
            return window
        children = window.query_tree().children
    except error.XError:
        return None
    for child in children:
        found = find(child, title, atom_name, pid_atom, pid)
        if found is not None:
            return found
    return None


def main():
    title, limit = sys.argv[1], float(sys.argv[2])
    size_only = "--size-only" in sys.argv
    pid = int(sys.argv[sys.argv.index("--pid") + 1]) if "--pid" in sys.argv else None
    d = display.Display()
    net_wm_name = d.intern_atom("_NET_WM_NAME")
    net_wm_pid = d.intern_atom("_NET_WM_PID")
    deadline = time.time() + limit
    window = None
    while window is None and time.time() < deadline:
        window = find(d.screen().root, title, net_wm_name, net_wm_pid, pid)
        if window is None:
            time.sleep(0.1)
    if window is None:
        print("no window")
        return 1
    if "--id-only" in sys.argv:
        print(hex(window.id))
        return 0
    geometry = window.get_geometry()
    print(f"{geometry.width}x{geometry.height}")
    if size_only:
        return 0
    protocols = d.intern_atom("WM_PROTOCOLS")
    delete = d.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=window, client_type=protocols, data=(32, [delete, X.CurrentTime, 0, 0, 0]))
    window.send_event(event, event_mask=X.NoEventMask)
    # A round trip, not just a flush: a busy X server that sees this
    # connection closed before it has read the request drops the request, and
    # the window is never asked to close.
    d.sync()
    return 0


sys.exit(main())
