# Sourced by tools/run, tools/screenshots and tools/bench: builds the programs they run and picks
# the build.
#   orvia_build_programs        the shipping build/x86/Setup.exe (configured as tools/build does)
#                               and, from the 64-bit build ($ORVIA_X64_BUILD, default build/x64),
#                               its Setup.exe, the launch recorder and the probe, whose programs
#                               run in the same prefix as either Setup.exe
#   orvia_choose_arch ARCH WHO  after orvia_prepare_prefix: ARCH (x86 or x64) where it runs; x86
#                               falls back to x64, saying why, where 32-bit programs cannot run.
#                               Sets ORVIA_SETUP (the program) and ORVIA_LOADER (its Wine loader).
ORVIA_X64_BUILD=${ORVIA_X64_BUILD:-build/x64}

orvia_build_one() {  # orvia_build_one DIR TOOLCHAIN [CMAKE-ARGS...] -- TARGETS...
    local dir=$1 toolchain=$2 args=() log
    shift 2
    while [ "$1" != -- ]; do args+=("$1"); shift; done
    shift
    log=$(mktemp)
    cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$toolchain-w64-mingw32.cmake" \
          -DCMAKE_BUILD_TYPE=MinSizeRel --no-warn-unused-cli "${args[@]}" >/dev/null
    if ! cmake --build "$dir" -j"$(nproc)" --target "$@" >"$log" 2>&1; then
        cat "$log"; rm -f "$log"; return 1
    fi
    rm -f "$log"
}

orvia_build_programs() {
    orvia_build_one build/x86 i686 -DORVIA_TESTS=OFF -- Setup
    orvia_build_one "$ORVIA_X64_BUILD" x86_64 -- Setup orvia_launch_recorder orvia_probe
}

orvia_choose_arch() {
    local arch=$1
    if [ "$arch" = x86 ] && ! orvia_x86_runnable win64; then
        echo "$2: the 32-bit build cannot run here: $ORVIA_X86_REASON."
        echo "$2: using the 64-bit build of the same sources instead."
        arch=x64
    fi
    if [ "$arch" = x86 ]; then
        ORVIA_SETUP=build/x86/Setup.exe ORVIA_LOADER=$ORVIA_WINE32
    else
        ORVIA_SETUP=$ORVIA_X64_BUILD/Setup.exe ORVIA_LOADER=$ORVIA_WINE64
    fi
}
