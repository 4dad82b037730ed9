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
# The server picks the number itself (-displayfd), so two runs starting at
# once never end up sharing one display.
tamrel_start_xvfb() {
    local numberFile
    numberFile="$(mktemp)"
    Xvfb -displayfd 3 -screen 0 1920x1080x24 -nolisten tcp 3>"$numberFile" >/dev/null 2>&1 &
    XVFB_PID=$!
    trap 'kill $XVFB_PID 2>/dev/null' EXIT
    for _ in $(seq 1 200); do
        if [[ -s "$numberFile" ]]; then
            export DISPLAY=":$(head -n1 "$numberFile")"
            rm -f "$numberFile"
            return 0
        fi
        kill -0 "$XVFB_PID" 2>/dev/null || break
        sleep 0.05
    done
    rm -f "$numberFile"
    echo "Xvfb did not start" >&2
    return 1
}
