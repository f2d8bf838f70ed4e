"""Watches an X display for Windows programs' windows, through libX11 and ctypes (no X
development package needed). Used by tools/lib/startup-timer and the planted-DLL test.

    watcher = Watcher()                # opens $DISPLAY, listens for windows mapped on the root
    watcher.drain()                    # forgets what happened so far
    geometry = watcher.wait_for_dialog(deadline)   # (width, height) of the next dialog-sized
                                                   # top-level window mapped, or None

Wine also maps 1 x 1 helper windows (the input method's, for one); only a window at least
MIN_SIDE pixels wide and high counts as a program's dialog being on the screen. With unmanaged
Wine windows (the prefixes of tools/lib/wine.sh) the dialog is mapped directly on the root."""

import ctypes
import ctypes.util
import os
import select
import time

MAP_NOTIFY = 19
SUBSTRUCTURE_NOTIFY_MASK = 1 << 19
MIN_SIDE = 50

_x11 = ctypes.CDLL(ctypes.util.find_library("X11") or "libX11.so.6")
_x11.XOpenDisplay.restype = ctypes.c_void_p
_x11.XOpenDisplay.argtypes = [ctypes.c_char_p]
_x11.XDefaultRootWindow.restype = ctypes.c_ulong
_x11.XDefaultRootWindow.argtypes = [ctypes.c_void_p]
_x11.XSelectInput.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.c_long]
_x11.XConnectionNumber.argtypes = [ctypes.c_void_p]
_x11.XPending.argtypes = [ctypes.c_void_p]
_x11.XNextEvent.argtypes = [ctypes.c_void_p, ctypes.c_void_p]
_x11.XSync.argtypes = [ctypes.c_void_p, ctypes.c_int]
_x11.XCloseDisplay.argtypes = [ctypes.c_void_p]
_x11.XGetGeometry.argtypes = [ctypes.c_void_p, ctypes.c_ulong, ctypes.POINTER(ctypes.c_ulong)] + \
    [ctypes.POINTER(ctypes.c_int)] * 2 + [ctypes.POINTER(ctypes.c_uint)] * 4
_x11.XSetErrorHandler.argtypes = [ctypes.c_void_p]

# Windows may be gone by the time their geometry is asked for: ignore X errors.
_ERROR_HANDLER = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p, ctypes.c_void_p)(lambda d, e: 0)


class _XMapEvent(ctypes.Structure):
    _fields_ = [("type", ctypes.c_int), ("serial", ctypes.c_ulong), ("send_event", ctypes.c_int),
                ("display", ctypes.c_void_p), ("event", ctypes.c_ulong), ("window", ctypes.c_ulong),
                ("override_redirect", ctypes.c_int)]


class _XEvent(ctypes.Union):
    _fields_ = [("type", ctypes.c_int), ("xmap", _XMapEvent), ("pad", ctypes.c_long * 24)]


class Watcher:
    def __init__(self):
        self.display = _x11.XOpenDisplay(None)
        if not self.display:
            raise RuntimeError("cannot open the X display %s" % os.environ.get("DISPLAY"))
        _x11.XSetErrorHandler(ctypes.cast(_ERROR_HANDLER, ctypes.c_void_p))
        _x11.XSelectInput(self.display, _x11.XDefaultRootWindow(self.display), SUBSTRUCTURE_NOTIFY_MASK)
        _x11.XSync(self.display, 0)
        self._event = _XEvent()

    def drain(self):
        while _x11.XPending(self.display):
            _x11.XNextEvent(self.display, ctypes.byref(self._event))

    def geometry(self, window):
        root = ctypes.c_ulong()
        x, y = ctypes.c_int(), ctypes.c_int()
        width, height, border, depth = ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint(), ctypes.c_uint()
        if not _x11.XGetGeometry(self.display, window, ctypes.byref(root), ctypes.byref(x),
                                 ctypes.byref(y), ctypes.byref(width), ctypes.byref(height),
                                 ctypes.byref(border), ctypes.byref(depth)):
            return None
        return width.value, height.value

    def wait_for_dialog(self, deadline):
        """The size of the next dialog-sized window mapped before time.monotonic() reaches
        deadline, as soon as it is mapped; None if none is."""
        fd = _x11.XConnectionNumber(self.display)
        while time.monotonic() < deadline:
            if not _x11.XPending(self.display):
                select.select([fd], [], [], 0.05)
                continue
            _x11.XNextEvent(self.display, ctypes.byref(self._event))
            if self._event.type == MAP_NOTIFY:
                size = self.geometry(self._event.xmap.window)
                if size and size[0] >= MIN_SIDE and size[1] >= MIN_SIDE:
                    return size
        return None
