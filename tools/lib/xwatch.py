"""Watches an X display for Windows programs' windows, through python-xlib (Debian's
python3-xlib). Used by tools/lib/startup-timer and the planted-DLL test.

    watcher = Watcher()                # opens $DISPLAY, listens for windows mapped on the root
    watcher.drain()                    # forgets what happened so far
    geometry = watcher.wait_for_dialog(deadline)   # (width, height) of the next dialog-sized
                                                   # top-level window mapped, or None

Wine also maps 1 x 1 helper windows (the input method's, for one); only a window at least
MIN_SIDE pixels wide and high counts as a program's dialog being on the screen. With unmanaged
Wine windows (the prefixes of tools/lib/wine.sh) the dialog is mapped directly on the root."""

import os
import select
import time

from Xlib import X, display, error

MIN_SIDE = 50


class Watcher:
    def __init__(self):
        try:
            self.display = display.Display()
        except error.DisplayError as e:
            raise RuntimeError("cannot open the X display %s: %s" % (os.environ.get("DISPLAY"), e))
        # Windows may be gone by the time their geometry is asked for: ignore X errors.
        self.display.set_error_handler(lambda err, request: None)
        self.display.screen().root.change_attributes(event_mask=X.SubstructureNotifyMask)
        self.display.sync()

    def drain(self):
        while self.display.pending_events():
            self.display.next_event()

    def geometry(self, window):
        try:
            g = window.get_geometry()
        except error.XError:
            return None
        return g.width, g.height

    def wait_for_dialog(self, deadline):
        """The size of the next dialog-sized window mapped before time.monotonic() reaches
        deadline, as soon as it is mapped; None if none is."""
        while time.monotonic() < deadline:
            if not self.display.pending_events():
                select.select([self.display], [], [], 0.05)
                continue
            event = self.display.next_event()
            if event.type == X.MapNotify:
                size = self.geometry(event.window)
                if size and size[0] >= MIN_SIDE and size[1] >= MIN_SIDE:
                    return size
        return None
