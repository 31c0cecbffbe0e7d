# Shared by scripts/run and scripts/test: build folders and a display for Wine.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OMBRIX_BUILD:-$root/build}"
jobs="${OMBRIX_JOBS:-$(nproc)}"

configure_and_build() {  # folder, cmake arguments...
    local dir="$1"; shift
    cmake -S "$root" -B "$dir" -G Ninja -Wno-dev "$@" >"$dir.configure.log" 2>&1 \
        || { cat "$dir.configure.log" >&2; return 1; }
    cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1 || { tail -n 60 "$dir.build.log" >&2; return 1; }
}

# The program as it ships (build/win32), and where this machine cannot run it, its 64-bit
# build too (build/win64). The Wine tests are registered in the build that runs here.
build_windows() {
    mkdir -p "$build"
    local wine64=0
    [ "${OMBRIX_WINE_ARCH:-win32}" = win64 ] && wine64=1
    configure_and_build "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release -DOMBRIX_WINE_TESTS=$([ "$wine64" = 1 ] && echo OFF || echo ON)
    if [ "$wine64" = 1 ]; then
        configure_and_build "$build/win64" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" \
            -DCMAKE_BUILD_TYPE=Release -DOMBRIX_WINE_TESTS=ON
    fi
}

# Starts a private Xvfb unless a display is already there; the caller stops it.
xvfb_pid=""
ensure_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    local n
    for n in $(seq 90 140); do
        [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ] && continue
        Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        xvfb_pid=$!
        export DISPLAY=":$n"
        for _ in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$n" ] && return 0
            sleep 0.1
        done
        kill "$xvfb_pid" 2>/dev/null || true
    done
    echo "no display could be started" >&2
    return 1
}

stop_display() {
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
    xvfb_pid=""
    return 0
}

# Which Wine the Windows tests and scripts/run use, as OMBRIX_WINE_ARCH: win32 runs the
# program as it ships, a 32-bit process. A kernel booted without 32-bit emulation
# (ia32_emulation=off) refuses to start Wine's 32-bit loader; there the same sources are
# built for 64-bit Windows and run under wine64 (win64), and the 32-bit build is only built.
# Says so on standard error, and fails when no Wine starts at all.
choose_wine() {
    local out
    if out=$(wine --version 2>&1); then
        OMBRIX_WINE_ARCH=win32
    elif /usr/lib/wine/wine64 --version >/dev/null 2>&1; then
        OMBRIX_WINE_ARCH=win64
        {
            echo "Wine cannot start 32-bit programs on this machine: $out"
            if dmesg 2>/dev/null | grep -q '32-bit emulation disabled'; then
                echo "(the kernel has 32-bit emulation switched off; boot it with ia32_emulation=on)."
            fi
            echo "The 32-bit program is built; its 64-bit build runs here, under wine64."
        } >&2
    else
        echo "Wine does not start on this machine: $out" >&2
        return 1
    fi
    export OMBRIX_WINE_ARCH
}

# The Windows build that runs here: build/win32 or build/win64.
windows_run_dir() {
    if [ "$OMBRIX_WINE_ARCH" = win64 ]; then echo "$build/win64"; else echo "$build/win32"; fi
}
