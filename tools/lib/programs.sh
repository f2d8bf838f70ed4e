# Sourced by tools/run, tools/screenshots and tools/bench: builds the programs they run and picks
# the build.
#   orvia_build_programs        the shipping build/x86/Setup.exe (configured as tools/build does)
#                               and, from the 64-bit build ($ORVIA_X64_BUILD, default build/x64),
#                               its Setup.exe, the launch recorder and the probe, whose programs
#                               run in the same prefix as either Setup.exe
#   orvia_choose_arch ARCH WHO  after orvia_prepare_prefix: ARCH (x86 or x64) where it runs; x86
#                               falls back to x64, saying why, where 32-bit programs cannot run.
#                               Sets ORVIA_SETUP (the program) and ORVIA_LOADER (its Wine loader).
#   orvia_name_failures TOOL    makes a failing command under set -e say what failed before the
#                               tool ends; a failed build prints its log's tail and the log's path
ORVIA_X64_BUILD=${ORVIA_X64_BUILD:-build/x64}

orvia_build_one() {  # orvia_build_one DIR TOOLCHAIN [CMAKE-ARGS...] -- TARGETS...
    local dir=$1 toolchain=$2 args=() log
    shift 2
    while [ "$1" != -- ]; do args+=("$1"); shift; done
    shift
    mkdir -p build/logs
    log=build/logs/$(basename "$dir").log
    if ! { cmake -S . -B "$dir" -DCMAKE_TOOLCHAIN_FILE="cmake/toolchain-$toolchain-w64-mingw32.cmake" \
                 -DCMAKE_BUILD_TYPE=MinSizeRel --no-warn-unused-cli "${args[@]}" &&
           cmake --build "$dir" -j"$(nproc)" --target "$@"; } >"$log" 2>&1; then
        tail -n 30 "$log" >&2
        echo "${ORVIA_TOOL:-$0}: building $dir failed (its log: $log)." >&2
        return 1
    fi
}

orvia_build_programs() {
    orvia_build_one build/x86 i686 -DORVIA_TESTS=OFF -- Setup &&
        orvia_build_one "$ORVIA_X64_BUILD" x86_64 -- Setup orvia_launch_recorder orvia_probe
}

# Under set -e a failing command ends the tool; this names it, so that no tool ends without a word.
orvia_name_failures() {  # orvia_name_failures TOOL
    ORVIA_TOOL=$1
    set -E
    trap 'echo "$ORVIA_TOOL: failed (exit code $?): $BASH_COMMAND" >&2' ERR
}

orvia_choose_arch() {
    local arch=$1
    if [ "$arch" = x86 ] && ! orvia_x86_runnable win64; then
        echo "$2: the 32-bit build cannot run here: $ORVIA_X86_REASON. Using the 64-bit build instead."
        arch=x64
    fi
    if [ "$arch" = x86 ]; then
        ORVIA_SETUP=build/x86/Setup.exe ORVIA_LOADER=$ORVIA_WINE32
    else
        ORVIA_SETUP=$ORVIA_X64_BUILD/Setup.exe ORVIA_LOADER=$ORVIA_WINE64
    fi
}
