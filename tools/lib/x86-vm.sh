# Sourced by tools/test and tools/deps: the x86 smoke run in an emulated machine, for machines
# whose kernel runs no 32-bit programs (where the native x86 suites are NOT RUN).
#   orvia_x86_vm_wanted      whether to run it: ORVIA_X86_VM=1 (tools/test --x86-vm) forces it;
#                            otherwise when 32-bit Wine is installed and the kernel refuses to run it
#   orvia_x86_vm_startable   whether the emulator, a kernel with its modules and busybox are here;
#                            when not, why is in ORVIA_X86_VM_REASON
#   orvia_x86_vm_smoke       runs the smoke: sets ORVIA_X86_VM_TOTAL, _PASSED, _FAILED (at least 1
#                            when the run fails) and, when it fails, ORVIA_X86_VM_REASON; returns 0
#                            when every case passed
# The machine: Debian's qemu-system-x86 with its amd64 kernel, booting a small RAM disk (a static
# busybox, tests/vm/init, the virtio, 9p and overlay modules) that mounts this machine's root
# read-only over virtio-9p under a writable layer in memory and runs tests/vm/guest there; it
# writes to build/x86-vm/guest (the results in out/, the WoW64 prefix it made in cache/, kept for
# the next run). The cases are the table of tests/vm/smoke.py. Hardware virtualisation is used
# when /dev/kvm boots a machine (asked once per host kernel, emulator and RAM disk), else QEMU's own
# emulation, which runs Wine 10 to 30 times slower. The guest's console is in
# build/x86-vm/console.log.

ORVIA_ROOT=${ORVIA_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)}
ORVIA_X86_VM_PACKAGES=(qemu-system-x86 linux-image-amd64 busybox-static)
ORVIA_X86_VM_DIR=$ORVIA_ROOT/build/x86-vm
# The whole run: boot, the prefix (made in 6 to 7 min without the cache) and the cases.
ORVIA_X86_VM_TIMEOUT=${ORVIA_X86_VM_TIMEOUT:-3000}
ORVIA_X86_VM_MODULES=(virtio_pci 9pnet_virtio 9p overlay)

orvia_x86_vm_wanted() {
    [ "${ORVIA_X86_VM:-0}" = 1 ] && return 0
    [ -x /usr/lib/wine/wine ] || return 1
    local log rc=0
    log=$(mktemp)
    /usr/lib/wine/wine --version >"$log" 2>&1 </dev/null || rc=$?
    # A kernel without IA-32 emulation: "Exec format error" (the shell gives 126).
    if [ "$rc" != 0 ] && { [ "$rc" = 126 ] || grep -qi 'exec format error' "$log"; }; then
        rm -f "$log"; return 0
    fi
    rm -f "$log"; return 1
}

# The newest Debian kernel in /boot whose modules are installed: ORVIA_X86_VM_KERNEL, _KVER.
orvia_x86_vm_kernel() {
    local k v
    ORVIA_X86_VM_KERNEL="" ORVIA_X86_VM_KVER=""
    for k in $(ls /boot/vmlinuz-*-amd64 2>/dev/null | sort -V); do
        v=${k#/boot/vmlinuz-}
        [ -r "$k" ] && [ -s "/lib/modules/$v/modules.dep" ] && ORVIA_X86_VM_KERNEL=$k ORVIA_X86_VM_KVER=$v
    done
    [ -n "$ORVIA_X86_VM_KERNEL" ]
}

orvia_x86_vm_startable() {
    ORVIA_X86_VM_REASON=""
    local missing=() p
    for p in "${ORVIA_X86_VM_PACKAGES[@]}"; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    if ((${#missing[@]})); then
        ORVIA_X86_VM_REASON="the emulated machine needs ${missing[*]}, which tools/deps could not install"
    elif ! qemu-system-x86_64 -version >/dev/null 2>&1 </dev/null; then
        ORVIA_X86_VM_REASON="qemu-system-x86_64 does not start"
    elif ! orvia_x86_vm_kernel; then
        ORVIA_X86_VM_REASON="no readable /boot/vmlinuz-*-amd64 with its modules in /lib/modules"
    elif [ ! -x /bin/busybox ] || ! /bin/busybox --list 2>/dev/null | grep -x cpio >/dev/null; then
        ORVIA_X86_VM_REASON="/bin/busybox (busybox-static) is missing or has no cpio"
    fi
    [ -z "$ORVIA_X86_VM_REASON" ]
}

# The RAM disk: busybox, tests/vm/init, /config, and the modules with what they need, in load order.
orvia_x86_vm_initramfs() {  # orvia_x86_vm_initramfs OUT
    local rd dir=/lib/modules/$ORVIA_X86_VM_KVER m
    declare -A deps=() seen=()
    local order=()
    rd=$(mktemp -d)
    while IFS=: read -r m rest; do deps[$m]=$rest; done <"$dir/modules.dep"
    add() {  # depth first: what a module needs is loaded before it
        local path=$1 d
        [ -n "${seen[$path]:-}" ] && return
        seen[$path]=1
        for d in ${deps[$path]}; do add "$d"; done
        order+=("$path")
    }
    for m in "${ORVIA_X86_VM_MODULES[@]}"; do
        local path
        path=$(grep -oE "^[^:]*/$m\.ko(\.[a-z]+)?:" "$dir/modules.dep" | head -n1 | tr -d :)
        [ -n "$path" ] || { rm -rf "$rd"; echo "no kernel module $m in $dir"; return 1; }
        add "$path"
    done
    mkdir -p "$rd/bin" "$rd/lib/modules"
    cp /bin/busybox "$rd/bin/busybox"
    cp "$ORVIA_ROOT/tests/vm/init" "$rd/init"
    chmod 755 "$rd/init"
    : >"$rd/modules"
    for m in "${order[@]}"; do
        cp "$dir/$m" "$rd/lib/modules/"
        basename "$m" >>"$rd/modules"
    done
    printf "ORVIA_ROOT='%s'\n" "${ORVIA_ROOT//\'/\'\\\'\'}" >"$rd/config"
    (cd "$rd" && find . | /bin/busybox cpio -o -H newc >"$1" 2>/dev/null)
    local rc=$?
    rm -rf "$rd"
    return $rc
}

# kvm when /dev/kvm boots the RAM disk to its first line within 30 s, else tcg. /dev/kvm can be
# present and still hang a machine in its firmware (no virtualisation on the CPU); the answer is
# kept per host kernel, emulator, guest kernel and tests/vm/init.
orvia_x86_vm_accel() {
    local key verdict=tcg file=$ORVIA_X86_VM_DIR/kvm-probe
    if [ ! -r /dev/kvm ] || [ ! -w /dev/kvm ]; then
        echo tcg; return
    fi
    key="$(uname -r) $(qemu-system-x86_64 -version | head -n1) $ORVIA_X86_VM_KERNEL"
    key+=" $(sha256sum <"$ORVIA_ROOT/tests/vm/init" | cut -c1-16)"
    if [ "$(head -n1 "$file" 2>/dev/null)" = "$key" ]; then
        sed -n 2p "$file"; return
    fi
    timeout 30 qemu-system-x86_64 -accel kvm -cpu host -m 256 -kernel "$ORVIA_X86_VM_KERNEL" \
        -initrd "$ORVIA_X86_VM_DIR/initramfs.cpio" -append "console=ttyS0 quiet panic=-1 orvia_probe" \
        -display none -monitor none -nic none -no-reboot -serial "file:$ORVIA_X86_VM_DIR/kvm-probe.log" \
        </dev/null >/dev/null 2>&1
    grep -q 'orvia-vm: probe: the machine runs' "$ORVIA_X86_VM_DIR/kvm-probe.log" && verdict=kvm
    printf '%s\n%s\n' "$key" "$verdict" >"$file"
    echo "$verdict"
}

orvia_x86_vm_smoke() {
    ORVIA_X86_VM_FAILED=0
    orvia_x86_vm_run && return 0
    ORVIA_X86_VM_FAILED=$((ORVIA_X86_VM_TOTAL - ORVIA_X86_VM_PASSED))
    ((ORVIA_X86_VM_FAILED)) || ORVIA_X86_VM_FAILED=1
    return 1
}

orvia_x86_vm_run() {
    local dir=$ORVIA_X86_VM_DIR share=$ORVIA_X86_VM_DIR/guest accel cpu rc=0 start status
    local console=$ORVIA_X86_VM_DIR/console.log
    ORVIA_X86_VM_TOTAL=0 ORVIA_X86_VM_PASSED=0 ORVIA_X86_VM_REASON=""
    start=$SECONDS
    mkdir -p "$share/cache"
    rm -rf "$share/out" "$console"
    mkdir -p "$share/out"
    if ! /usr/bin/python3 "$ORVIA_ROOT/tests/vm/smoke.py" plan "$ORVIA_ROOT/build/x86-tests" \
        "$share/out/plan.json" >"$dir/plan.log" 2>&1; then
        ORVIA_X86_VM_REASON="no plan for the smoke cases: $(tail -n1 "$dir/plan.log")"
        return 1
    fi
    ORVIA_X86_VM_TOTAL=$(/usr/bin/python3 -c 'import json,sys; print(len(json.load(open(sys.argv[1]))))' \
        "$share/out/plan.json")
    if ! orvia_x86_vm_startable; then
        return 1
    fi
    if ! orvia_x86_vm_initramfs "$dir/initramfs.cpio" >"$dir/initramfs.log" 2>&1; then
        ORVIA_X86_VM_REASON="the RAM disk could not be made: $(cat "$dir/initramfs.log")"
        return 1
    fi
    accel=$(orvia_x86_vm_accel)
    # QEMU 7.2's emulation of supervisor-mode access prevention breaks every Windows program.
    if [ "$accel" = kvm ]; then cpu=host; else cpu=max,smap=off accel=tcg,thread=multi; fi
    echo "   emulated machine: $(basename "$ORVIA_X86_VM_KERNEL"), ${accel%%,*}, $(nproc) CPUs;" \
         "console in ${console#"$ORVIA_ROOT"/}; limit $ORVIA_X86_VM_TIMEOUT s"
    : >"$console"
    timeout "$ORVIA_X86_VM_TIMEOUT" qemu-system-x86_64 -accel "$accel" -cpu "$cpu" -smp "$(nproc)" -m 6G \
        -kernel "$ORVIA_X86_VM_KERNEL" -initrd "$dir/initramfs.cpio" \
        -append "console=ttyS0 quiet panic=-1" -display none -monitor none -nic none -no-reboot \
        -serial "file:$console" \
        -virtfs local,path=/,mount_tag=orviaroot,security_model=none,readonly=on,multidevs=remap \
        -virtfs "local,path=$share,mount_tag=orviashare,security_model=none,multidevs=remap" \
        </dev/null >"$dir/qemu.log" 2>&1 &
    local qemu=$!
    # The guest's console as it goes (the machine's own line ends are CR LF).
    tail -n +1 -f --pid="$qemu" "$console" 2>/dev/null | sed -u 's/\r$//; s/^/   | /'
    wait "$qemu" || rc=$?
    echo "   emulated machine: ended after $((SECONDS - start)) s"
    ORVIA_X86_VM_PASSED=$(/usr/bin/python3 -c \
        'import json,sys; print(sum(r["passed"] for r in json.load(open(sys.argv[1]))))' \
        "$share/out/results.json" 2>/dev/null || echo 0)
    status=$(cat "$share/out/guest-status" 2>/dev/null || true)
    if [ "$rc" = 124 ]; then
        ORVIA_X86_VM_REASON="the emulated machine did not finish within $ORVIA_X86_VM_TIMEOUT s"
    elif [ -z "$status" ]; then
        ORVIA_X86_VM_REASON="the emulated machine stopped before its script ended (QEMU exit code $rc:"
        ORVIA_X86_VM_REASON+=" $(tail -n1 "$dir/qemu.log" 2>/dev/null))"
    elif [ "$status" != ok ]; then
        ORVIA_X86_VM_REASON=${status#error: }
    elif [ "$ORVIA_X86_VM_PASSED" != "$ORVIA_X86_VM_TOTAL" ]; then
        ORVIA_X86_VM_REASON="$((ORVIA_X86_VM_TOTAL - ORVIA_X86_VM_PASSED)) smoke case(s) failed;"
        ORVIA_X86_VM_REASON+=" their logs are in ${share#"$ORVIA_ROOT"/}/out"
    fi
    if [ -n "$ORVIA_X86_VM_REASON" ]; then
        ORVIA_X86_VM_REASON+="; the guest's console: ${console#"$ORVIA_ROOT"/}"
        return 1
    fi
}
