# Shared by scripts/run and scripts/test: set-up, build, and an X server
# when there is no display.

ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

tamrel_build() {
    local buildDir="$1"
    shift
    bash "$ROOT/scripts/setup"
    cmake -S "$ROOT" -B "$buildDir" -G Ninja -DCMAKE_BUILD_TYPE=Release "$@" >/dev/null
    cmake --build "$buildDir" -j "$(nproc)"
}

# Starts Xvfb on a free display number and exports DISPLAY; stops it on exit.
tamrel_start_xvfb() {
    local n
    for n in $(seq 90 140); do
        if [[ ! -e /tmp/.X11-unix/X$n && ! -e /tmp/.X$n-lock ]]; then
            Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp >/dev/null 2>&1 &
            XVFB_PID=$!
            trap 'kill $XVFB_PID 2>/dev/null' EXIT
            for _ in $(seq 1 100); do
                [[ -e /tmp/.X11-unix/X$n ]] && break
                sleep 0.05
            done
            export DISPLAY=":$n"
            return 0
        fi
    done
    echo "no free X display number" >&2
    return 1
}
