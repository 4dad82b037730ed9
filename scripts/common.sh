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
# Two runs may pick the same free number at once: only the server whose pid
# the display's lock file names has it, and the other run tries the next one,
# so no two runs ever share a display.
tamrel_start_xvfb() {
    local first n i
    first=$((RANDOM % 50))
    for i in $(seq 0 49); do
        n=$((90 + (first + i) % 50))
        [[ -e /tmp/.X11-unix/X$n || -e /tmp/.X$n-lock ]] && continue
        # -noreset: without it the server resets whenever its last client
        # leaves, and a program connecting just then fails to open the display.
        Xvfb ":$n" -screen 0 1920x1080x24 -nolisten tcp -noreset >/dev/null 2>&1 &
        XVFB_PID=$!
        # Ready once it answers, not merely once its socket exists.
        for _ in $(seq 1 400); do
            xdpyinfo -display ":$n" >/dev/null 2>&1 && break
            kill -0 "$XVFB_PID" 2>/dev/null || break
            sleep 0.05
        done
        if kill -0 "$XVFB_PID" 2>/dev/null && [[ "$(tr -d ' \n' </tmp/.X$n-lock 2>/dev/null)" == "$XVFB_PID" ]]; then
            trap 'kill $XVFB_PID 2>/dev/null' EXIT
            export DISPLAY=":$n"
            return 0
        fi
        kill "$XVFB_PID" 2>/dev/null
        wait "$XVFB_PID" 2>/dev/null
    done
    echo "no free X display number" >&2
    return 1
}
