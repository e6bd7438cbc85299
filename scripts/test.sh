#!/usr/bin/env bash
# Sets up what is missing, builds, and runs every test under Wine (Xvfb as display).
set -euo pipefail
source "$(dirname "$0")/common.sh"
qm_install_missing
qm_install_fuzzing  # the "fuzz" test builds the parsers natively
qm_build
qm_wine_env persistent
qm_display
cd "$QM_BUILD"
ctest --output-on-failure --timeout 900 "$@"
