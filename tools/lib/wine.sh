# Sourced by the tools: a private X display and prepared Wine prefixes for the programs we run.
#   orvia_wine_session [KIND...]   starts Xvfb, prepares a prefix of each KIND (default: win64)
#                                  and starts its wineserver; stops all on exit. WINEPREFIX is left
#                                  at the first KIND's prefix.
#   orvia_prepare_prefix [KIND]    makes the KIND prefix (default: win64) unless it is made already;
#                                  fails, naming the step and its log, when it cannot
#   orvia_use_prefix KIND          points WINEPREFIX (and WINE, the loader for its programs) at it
#   orvia_x86_runnable [KIND]      whether 32-bit programs run in that prefix (default: win64);
#                                  when not, why is in ORVIA_X86_REASON
# Prefix kinds: win64, the 64-bit prefix in which 32-bit programs run under WoW64, as on most
# users' machines (build/wineprefix, or $ORVIA_WINEPREFIX); win32, a 32-bit prefix, which stands
# in for 32-bit Windows (build/wineprefix32, or $ORVIA_WINEPREFIX32). Each is made again whenever
# this file changes.
#
# The prefixes are the tools' own. A WINEPREFIX (or WINEPREFIX32) set by the user is the user's own
# Wine and is ignored: the tools never delete, write into or change a folder they did not make. A
# prefix they made carries the file .orvia-stamp; a folder that exists, is not empty and has no
# stamp is refused with a one-line message instead of being made again. Wine's menu builder is
# switched off and the profile's folders are the prefix's own, so that no menu entry, file
# association or document lands in the user's home folder.

ORVIA_ROOT=${ORVIA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
ORVIA_WINE64=/usr/lib/wine/wine64
ORVIA_WINE32=/usr/lib/wine/wine
WINE=$ORVIA_WINE64
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset LC_ALL LC_MESSAGES WINEPREFIX32
declare -A ORVIA_PREFIX=([win64]=${ORVIA_WINEPREFIX:-$ORVIA_ROOT/build/wineprefix}
                         [win32]=${ORVIA_WINEPREFIX32:-$ORVIA_ROOT/build/wineprefix32})
export WINEPREFIX=${ORVIA_PREFIX[win64]}
ORVIA_SESSION_PREFIXES=()

orvia_start_xvfb() {
    local fifo_dir
    fifo_dir=$(mktemp -d)
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo_dir/display" >/dev/null 2>&1 &
    ORVIA_XVFB_PID=$!
    for _ in $(seq 100); do
        [ -s "$fifo_dir/display" ] && break
        sleep 0.1
    done
    if [ ! -s "$fifo_dir/display" ]; then
        rm -rf "$fifo_dir"
        echo "The private X server (Xvfb) did not start within 10 s." >&2
        return 1
    fi
    export DISPLAY=":$(tr -d '\n' <"$fifo_dir/display")"
    rm -rf "$fifo_dir"
}

orvia_use_prefix() {
    export WINEPREFIX=${ORVIA_PREFIX[$1]}
    if [ "$1" = win32 ]; then WINE=$ORVIA_WINE32; export WINEARCH=win32; else WINE=$ORVIA_WINE64; export WINEARCH=win64; fi
}

# Registers what Windows registers for .msi files: msiexec with the package and every parameter.
# Windows (7 and later) shares HKLM\Software\Classes between the 64-bit and the 32-bit registry
# view; Wine 8 gives 32-bit programs a separate copy (Software\Classes\Wow6432Node) that holds no
# .msi handler at all, so in a 64-bit prefix both views get it.
orvia_register_msi_handler() {
    local command=${1:-'"C:\windows\system32\msiexec.exe" /i "%1" %*'} view views=(/reg:64 /reg:32)
    [ "$WINE" = "$ORVIA_WINE64" ] || views=("")
    for view in "${views[@]}"; do
        "$WINE" reg add 'HKLM\Software\Classes\.msi' /ve /d Msi.Package /f ${view:+"$view"} >/dev/null 2>&1
        "$WINE" reg add 'HKLM\Software\Classes\Msi.Package\shell\Open\command' /ve /d "$command" \
            /f ${view:+"$view"} >/dev/null 2>&1
    done
}

# Whether the 32-bit loader is installed and starts at all.
orvia_wine32_starts() {
    [ -x "$ORVIA_WINE32" ] && "$ORVIA_WINE32" --version >/dev/null 2>&1 </dev/null
}

# Whether DIR may be made (again) by the tools: it does not exist, is empty, or carries their stamp.
orvia_prefix_is_ours() {
    [ ! -e "$1" ] || [ -f "$1/.orvia-stamp" ] || { [ -d "$1" ] && [ -z "$(ls -A "$1")" ]; }
}

orvia_prepare_prefix() {  # orvia_prepare_prefix [KIND]
    local kind=${1:-win64} stamp wine32=""
    orvia_use_prefix "$kind"
    # A WoW64 prefix made while 32-bit Wine could not run (not installed, or a kernel without
    # 32-bit emulation) has no working 32-bit half: make it again once it can.
    if orvia_wine32_starts; then wine32=wine32; fi
    stamp="$(sha256sum "${BASH_SOURCE[0]}" | cut -c1-16) $kind $wine32"
    [ "$(cat "$WINEPREFIX/.orvia-stamp" 2>/dev/null)" != "$stamp" ] || return 0
    if [ "$kind" = win32 ] && [ -z "$wine32" ]; then
        return 1
    fi
    if ! orvia_prefix_is_ours "$WINEPREFIX"; then
        echo "$WINEPREFIX is not a Wine prefix these tools made (no .orvia-stamp); left alone:" \
             "move it away, or set ORVIA_WINEPREFIX$([ "$kind" = win64 ] || echo 32) to another folder." >&2
        return 1
    fi
    echo "Preparing the $kind Wine prefix $WINEPREFIX (once)..."
    rm -rf "$WINEPREFIX"
    mkdir -p "$WINEPREFIX"
    echo incomplete >"$WINEPREFIX/.orvia-stamp"  # ours from the start, so a failed try can go
    local log=$ORVIA_ROOT/build/wineboot-$kind.log
    mkdir -p "$(dirname "$log")"
    if ! "$WINE" wineboot -i >"$log" 2>&1 </dev/null || [ ! -d "$WINEPREFIX/drive_c" ]; then
        echo "Preparing the $kind Wine prefix failed: wineboot did not make it (see $log)." >&2
        return 1
    fi
    # Wine links the profile's Desktop, Documents, Downloads, Music, Pictures and Videos to the
    # user's home folder; folders of the prefix take their place, so that nothing run here writes
    # into the home folder.
    local link
    for link in "$WINEPREFIX"/drive_c/users/*/*; do
        if [ -L "$link" ]; then rm "$link" && mkdir "$link"; fi
    done
    # Without a window manager every hidden window costs 2 s unless Wine manages none.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
    "$WINE" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
    orvia_register_msi_handler
    /usr/lib/wine/wineserver -w
    echo "$stamp" >"$WINEPREFIX/.orvia-stamp"
}

orvia_stop_session() {
    local prefix
    for prefix in "${ORVIA_SESSION_PREFIXES[@]}"; do
        WINEPREFIX=$prefix /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
    done
    [ -n "${ORVIA_XVFB_PID:-}" ] && kill "$ORVIA_XVFB_PID" 2>/dev/null
    true
}

orvia_wine_session() {
    local kind kinds=("${@:-win64}")
    orvia_start_xvfb || exit 1
    trap orvia_stop_session EXIT
    for kind in "${kinds[@]}"; do
        # Without the first prefix nothing can run; a 32-bit one is only missed where 32-bit Wine
        # cannot run, which the tools report on their own.
        if ! orvia_prepare_prefix "$kind"; then
            [ "$kind" != "${kinds[0]}" ] || exit 1
            continue
        fi
        ORVIA_SESSION_PREFIXES+=("$WINEPREFIX")
        # Exit code 2: one runs already (the session of a tools/test that started this tool).
        /usr/lib/wine/wineserver -p >/dev/null 2>&1 </dev/null || true
    done
    orvia_use_prefix "${kinds[0]}"
}

# Runs a tiny 32-bit console program under the 32-bit loader in the KIND prefix, with a time
# limit; kernels without 32-bit (IA32) emulation fail at once ("Exec format error"). Such a
# kernel was built without CONFIG_IA32_EMULATION or booted with ia32_emulation=0 (it may log
# "IA-32 emulation off"); 32-bit Wine does not run under qemu-user either.
orvia_x86_runnable() {
    local kind=${1:-win64} dir=$ORVIA_ROOT/build/x86-probe rc=0 saved=${WINEPREFIX:-}
    ORVIA_X86_REASON=""
    if [ ! -x "$ORVIA_WINE32" ]; then
        ORVIA_X86_REASON="32-bit Wine (wine32:i386) is not installed; tools/deps said why"
        return 1
    fi
    mkdir -p "$dir"
    # The loader is a 32-bit Linux program: without IA32 emulation it cannot start at all.
    if ! "$ORVIA_WINE32" --version >"$dir/loader.out" 2>&1 </dev/null; then
        ORVIA_X86_REASON="this machine cannot run 32-bit programs: $ORVIA_WINE32 does not start"
        ORVIA_X86_REASON+=" ($(grep -o -m1 -i 'exec format error' "$dir/loader.out" || echo 'see '"$dir/loader.out"))"
        return 1
    fi
    if [ ! -s "$dir/probe32.exe" ] || [ "$ORVIA_ROOT/tools/lib/x86-probe.c" -nt "$dir/probe32.exe" ]; then
        i686-w64-mingw32-gcc -O2 -s -o "$dir/probe32.exe" "$ORVIA_ROOT/tools/lib/x86-probe.c" 2>"$dir/build.log" || {
            ORVIA_X86_REASON="the 32-bit probe does not build (see $dir/build.log)"; return 1; }
    fi
    if [[ "$(cat "${ORVIA_PREFIX[$kind]}/.orvia-stamp" 2>/dev/null)" != *" $kind "* ]]; then
        ORVIA_X86_REASON="the $kind prefix could not be made"
        return 1
    fi
    # WINEARCH must name the prefix's own kind: Wine refuses a 32-bit prefix under WINEARCH=win64
    # (and a 64-bit one under win32), and the caller's WINEARCH is that of the prefix in use.
    WINEPREFIX=${ORVIA_PREFIX[$kind]} WINEARCH=$kind timeout 120 "$ORVIA_WINE32" "$dir/probe32.exe" \
        >"$dir/$kind.out" 2>"$dir/$kind.err" </dev/null || rc=$?
    [ -n "$saved" ] && export WINEPREFIX=$saved
    if grep -q '32-bit programs run' "$dir/$kind.out"; then
        return 0
    elif [ "$rc" = 124 ]; then
        ORVIA_X86_REASON="the 32-bit probe did not finish within 120 s in the $kind prefix"
    else
        ORVIA_X86_REASON="32-bit Wine did not run the probe in the $kind prefix (exit code $rc; see $dir/$kind.err)"
    fi
    return 1
}
