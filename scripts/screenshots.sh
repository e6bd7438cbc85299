#!/usr/bin/env bash
# Takes the README's screenshots (docs/*.png) under Xvfb: the five tabs of the main
# window, the tray menu, the result window, the hot-key chooser, help, About and the
# update notice, at 100% and 150% scaling.
# Each scaling runs in a Wine prefix of its own below build/, never the user's.
set -euo pipefail
source "$(dirname "$0")/common.sh"
qm_install_missing
qm_build
DOCS="$QM_ROOT/docs"
mkdir -p "$DOCS"

shoot() {  # shoot <dpi> <suffix>
    local dpi="$1" suffix="$2"
    (
        export QM_WINEPREFIX="$QM_BUILD/shots-prefix-$dpi"
        unset DISPLAY
        qm_wine_env persistent
        qm_display
        wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
        wineserver -k 2>/dev/null || true
        wineserver -p >/dev/null 2>&1 || true
        coproc DRIVER { wine "$QM_BUILD/bin/quillmere_screenshot_driver.exe" 2>/dev/null; }
        local driver_pid=$DRIVER_PID
        while IFS= read -r line <&"${DRIVER[0]}"; do
            case "$line" in
                SHOT\ *)
                    name="${line#SHOT }"
                    name="${name%$'\r'}"
                    import -window root "$DOCS/$name$suffix.png"
                    qm_log "docs/$name$suffix.png"
                    echo >&"${DRIVER[1]}"
                    ;;
                MISSING\ *)
                    what="${line#MISSING }"
                    qm_log "the driver waited in vain for the ${what%$'\r'}: the next picture is wrong"
                    ;;
            esac
        done
        wait "$driver_pid" || { qm_log "the screenshot driver failed"; exit 1; }
    )
}

shoot 96 ""
shoot 144 "-150"
