#!/usr/bin/env bash
# Puts SQLite's amalgamation (sqlite3.c, sqlite3.h) into third_party/sqlite/, outside git.
# It comes from the npm registry's better-sqlite3 package, which carries the official
# amalgamation; the package is pinned by version and checked against its SHA-256 before
# anything is taken from it. Only the tarball is fetched ("npm pack"), nothing is installed.
set -euo pipefail

QM_ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
QM_SQLITE_PACKAGE="better-sqlite3@12.11.1"
QM_SQLITE_SHA256="ebf0ed75a7a59dbcb3b24bbd014ef49d9f15bc328e4adcbf516f2a8fadfa2835"
QM_SQLITE_DIR="${QM_SQLITE_DIR:-$QM_ROOT/third_party/sqlite}"

stamp="$QM_SQLITE_DIR/.package"
if [ -f "$QM_SQLITE_DIR/sqlite3.c" ] && [ -f "$QM_SQLITE_DIR/sqlite3.h" ] &&
   [ "$(cat "$stamp" 2>/dev/null)" = "$QM_SQLITE_PACKAGE $QM_SQLITE_SHA256" ]; then
    exit 0
fi
if ! command -v npm >/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo="sudo"
    $sudo env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends npm >/dev/null
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
echo "== fetching $QM_SQLITE_PACKAGE for SQLite's amalgamation" >&2
(cd "$work" && npm pack --silent "$QM_SQLITE_PACKAGE" >/dev/null)
tarball="$(ls "$work"/*.tgz)"
actual="$(sha256sum "$tarball" | cut -d' ' -f1)"
if [ "$actual" != "$QM_SQLITE_SHA256" ]; then
    echo "== $QM_SQLITE_PACKAGE has SHA-256 $actual, expected $QM_SQLITE_SHA256: not used" >&2
    exit 1
fi
tar -xzf "$tarball" -C "$work" package/deps/sqlite3/sqlite3.c package/deps/sqlite3/sqlite3.h
mkdir -p "$QM_SQLITE_DIR"
cp "$work/package/deps/sqlite3/sqlite3.c" "$work/package/deps/sqlite3/sqlite3.h" "$QM_SQLITE_DIR/"
echo "$QM_SQLITE_PACKAGE $QM_SQLITE_SHA256" > "$stamp"
