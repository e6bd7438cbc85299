#!/usr/bin/env bash
# Sets up what is missing, builds, and starts Quillmere.exe under Wine.
# Without arguments it starts resident (notification area); "auto" cleans and returns.
set -euo pipefail
source "$(dirname "$0")/common.sh"
qm_install_missing
qm_build
QM_WINEPREFIX="${QM_WINEPREFIX:-$HOME/.wine-quillmere}" qm_wine_env
qm_display
exec wine "$QM_BUILD/bin/Quillmere.exe" "$@"
