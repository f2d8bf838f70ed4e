# Sourced by the tools: a private X display and a prepared Wine prefix for the programs we run.
#   orvia_wine_session   starts Xvfb, prepares $WINEPREFIX, starts wineserver; stops all on exit
# The prefix lives in build/wineprefix and is made again whenever this file changes.

ORVIA_ROOT=${ORVIA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
WINE=/usr/lib/wine/wine64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win64
unset LC_ALL LC_MESSAGES

orvia_start_xvfb() {
    local fifo_dir
    fifo_dir=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo_dir/display" >/dev/null 2>&1 &
    ORVIA_XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$fifo_dir/display" ] && break
        sleep 0.1
    done
    export DISPLAY=":$(tr -d '\n' <"$fifo_dir/display")"
    rm -rf "$fifo_dir"
}

# Registers what Windows registers for .msi files: msiexec with the package and every parameter.
orvia_register_msi_handler() {
    local command=${1:-'"C:\windows\system32\msiexec.exe" /i "%1" %*'}
    "$WINE" reg add 'HKLM\Software\Classes\.msi' /ve /d Msi.Package /f >/dev/null 2>&1
    "$WINE" reg add 'HKLM\Software\Classes\Msi.Package\shell\Open\command' /ve /d "$command" /f >/dev/null 2>&1
}

orvia_prepare_prefix() {
    export WINEPREFIX=${WINEPREFIX:-$ORVIA_ROOT/build/wineprefix}
    local stamp
    stamp=$(sha256sum "${BASH_SOURCE[0]}" | cut -c1-16)
    if [ "$(cat "$WINEPREFIX/.orvia-stamp" 2>/dev/null)" != "$stamp" ]; then
        echo "Preparing the Wine prefix $WINEPREFIX (once)..."
        rm -rf "$WINEPREFIX"
        mkdir -p "$(dirname "$WINEPREFIX")"
        "$WINE" wineboot -i >/dev/null 2>&1
        # Without a window manager every hidden window costs 2 s unless Wine manages none.
        "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
        "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
        orvia_register_msi_handler
        /usr/lib/wine/wineserver -w
        echo "$stamp" >"$WINEPREFIX/.orvia-stamp"
    fi
}

orvia_stop_session() {
    /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    [ -n "${ORVIA_XVFB_PID:-}" ] && kill "$ORVIA_XVFB_PID" 2>/dev/null
    true
}

orvia_wine_session() {
    orvia_start_xvfb
    trap orvia_stop_session EXIT
    orvia_prepare_prefix
    /usr/lib/wine/wineserver -p >/dev/null 2>&1 </dev/null
}
