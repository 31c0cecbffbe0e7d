# Shared by scripts/run and scripts/test: build folders and a display for Wine.
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${OMBRIX_BUILD:-$root/build}"
jobs="${OMBRIX_JOBS:-$(nproc)}"

configure_and_build() {  # folder, cmake arguments...
    local dir="$1"; shift
    if [ ! -f "$dir/build.ninja" ]; then
        cmake -S "$root" -B "$dir" -G Ninja -Wno-dev "$@" >"$dir.configure.log" 2>&1 \
            || { cat "$dir.configure.log" >&2; return 1; }
    fi
    cmake --build "$dir" -j "$jobs" >"$dir.build.log" 2>&1 || { tail -n 60 "$dir.build.log" >&2; return 1; }
}

build_windows() {
    mkdir -p "$build"
    configure_and_build "$build/win32" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" \
        -DCMAKE_BUILD_TYPE=Release
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

# Wine runs the program as a 32-bit process. A kernel booted without 32-bit emulation
# (ia32_emulation=off) refuses to start Wine's 32-bit loader, and every Windows test would
# fail for that reason alone: say so plainly instead.
require_wine32() {
    local out
    if out=$(wine --version 2>&1); then
        return 0
    fi
    {
        echo "Wine cannot start 32-bit programs on this machine: $out"
        if dmesg 2>/dev/null | grep -q '32-bit emulation disabled'; then
            echo "The kernel has 32-bit emulation switched off (boot it with ia32_emulation=on);"
        fi
        echo "the Windows program and its tests need a machine that runs 32-bit x86 programs."
    } >&2
    return 1
}
