#!/bin/sh
# Runs a cross-built Windows program under Wine: "wine-run.sh 32 prog args"
# for 32-bit programs, "wine-run.sh 64 prog args" for 64-bit ones. Each kind
# gets a Wine prefix of its own, made once, under a lock.
set -e
bits=$1
shift
case $bits in
  32) loader=${WINE32:-wine} ;;
  64) loader=${WINE64:-$(command -v wine64 || echo /usr/lib/wine/wine64)} ;;
  *) echo "wine-run.sh: first argument must be 32 or 64" >&2; exit 2 ;;
esac
export WINEPREFIX="${WINEPREFIX:-${XDG_CACHE_HOME:-$HOME/.cache}/norvane-wine$bits}"
export WINEDEBUG=-all
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      if [ "$bits" = 64 ]; then export WINELOADER="$loader"; fi
      "$loader" wineboot -i >/dev/null 2>&1 || true
    fi
  ) 9>"$WINEPREFIX.lock"
fi
if [ "$bits" = 64 ]; then export WINELOADER="$loader"; fi
exec "$loader" "$@"
