# Shared by the project's scripts: installs what is missing, builds, and prepares Wine.
# Sourced, not run. Works as root on a fresh Debian 12 machine (uses sudo otherwise).

QM_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QM_BUILD="${QM_BUILD:-$QM_ROOT/build}"

qm_log() { printf '== %s\n' "$*" >&2; }

# Cleanup steps run when the calling script ends, last registered first.
QM_EXIT_STEPS=""
qm_on_exit() {
    QM_EXIT_STEPS="$1; $QM_EXIT_STEPS"
    trap "$QM_EXIT_STEPS" EXIT
}

# Installs those of the given Debian packages that are missing.
qm_install_packages() {
    local missing=()
    for package in "$@"; do
        dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    qm_log "installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# What the build and the Wine tests need.
qm_install_missing() {
    qm_install_packages cmake ninja-build g++-mingw-w64-x86-64-posix mingw-w64-tools wine wine64 \
        xvfb xauth x11-utils xdotool imagemagick googletest nsis unzip openssl python3 mawk osslsigncode publicsuffix
}

# clang 14 with its runtime library (libFuzzer and the sanitizers) for scripts/fuzz.sh.
qm_install_fuzzing() {
    qm_install_packages clang-14 libclang-rt-14-dev cmake ninja-build
}

qm_build() {
    "$QM_ROOT/scripts/fetch_sqlite.sh"
    qm_log "building in $QM_BUILD"
    cmake -S "$QM_ROOT" -B "$QM_BUILD" -G Ninja \
        -DCMAKE_TOOLCHAIN_FILE="$QM_ROOT/cmake/mingw-w64-x86_64.cmake" \
        -DCMAKE_BUILD_TYPE="${QM_BUILD_TYPE:-Release}" >/dev/null
    cmake --build "$QM_BUILD" -- -k 0
}

# A private Wine prefix under the build folder, so nothing touches the user's own prefix.
# With "persistent" the wineserver stays up, so each Wine process starts in well under a
# second (tests and benchmarks start hundreds); the caller stops it at the end.
qm_wine_env() {
    export WINEPREFIX="${QM_WINEPREFIX:-$QM_BUILD/wineprefix}"
    export WINEARCH=win64
    export WINEDEBUG="${WINEDEBUG:--all}"
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        qm_log "creating Wine prefix $WINEPREFIX"
        wineboot -i >/dev/null 2>&1 || true
        # Without a window manager (plain Xvfb) a managed window waits seconds to close.
        wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1 || true
        wineserver -w
    fi
    if [ "${1:-}" = persistent ]; then
        wineserver -p >/dev/null 2>&1 || true
        qm_on_exit "wineserver -k 2>/dev/null || true"
    fi
    # Start Wine's own services now, detached from our output: started later by a test,
    # they would inherit CTest's pipes and keep it waiting for them to close.
    wine cmd.exe /c exit >/dev/null 2>&1 </dev/null || true
}

# Starts Xvfb when no display is set; the display stays up until the calling shell ends.
qm_display() {
    [ -n "${DISPLAY:-}" ] && return 0
    local number
    for number in $(seq 91 140); do
        [ -e "/tmp/.X11-unix/X$number" ] || [ -e "/tmp/.X$number-lock" ] && continue
        Xvfb ":$number" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
        QM_XVFB_PID=$!
        export DISPLAY=":$number"
        qm_on_exit "kill $QM_XVFB_PID 2>/dev/null"
        for _ in $(seq 1 50); do
            [ -e "/tmp/.X11-unix/X$number" ] && break
            sleep 0.1
        done
        return 0
    done
    qm_log "no free display number for Xvfb"
    return 1
}
