#!/usr/bin/env bash
# Renders every camera of the generated ship scene into PNG pictures, through
# the program's own renderer under Wine (off screen, nothing full screen).
#   tools/scene_view/render_cameras.sh WIN64_BUILD ASSETS [OUTDIR] [scene_view options...]
# WIN64_BUILD: a built win64 tree (holds scene_view.exe); ASSETS:
# the generated resources (holds scene_147.sss); OUTDIR defaults to
# out/cameras. Options after OUTDIR go to scene_view (--time MS, --size WxH,
# --camera NAME, --look EX,EY,EZ:TX,TY,TZ). Uses $WINEPREFIX when set, else
# build/wineprefix, and $DISPLAY when it answers, else a private Xvfb.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
if [ $# -lt 2 ]; then
  echo "usage: $0 WIN64_BUILD ASSETS [OUTDIR] [scene_view options...]" >&2
  exit 2
fi
BUILD="$(cd "$1" && pwd)"
ASSETS="$(cd "$2" && pwd)"
OUTDIR="${3:-$ROOT/out/cameras}"
shift $(( $# >= 3 ? 3 : 2 ))
VIEWER="$BUILD/scene_view.exe"
SCENE="$ASSETS/scene_147.sss"
WINE=/usr/lib/wine/wine64
for f in "$VIEWER" "$SCENE"; do
  [ -f "$f" ] || { echo "render_cameras: $f is missing" >&2; exit 2; }
done
export WINEPREFIX="${WINEPREFIX:-$ROOT/build/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"

if [ -z "${BRISANE_IN_DISPLAY:-}" ] && ! { [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; }; then
  BRISANE_IN_DISPLAY=1 exec xvfb-run -a -s "-screen 0 1024x768x24 -nolisten tcp" "$0" "$BUILD" "$ASSETS" "$OUTDIR" "$@"
fi
if [ ! -d "$WINEPREFIX" ]; then
  mkdir -p "$WINEPREFIX"
  "$WINE" wineboot -i >/dev/null 2>&1 || true
  # No window manager under Xvfb: Wine must not wait for one.
  "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
fi

mkdir -p "$OUTDIR"
OUTDIR="$(cd "$OUTDIR" && pwd)"
BMPS="$(mktemp -d)"
trap 'rm -rf "$BMPS"' EXIT
# A missing camera or an unreadable scene still ends here with its code.
status=0
"$WINE" "$VIEWER" "$SCENE" "$BMPS" "$@" </dev/null || status=$?
shopt -s nullglob
for bmp in "$BMPS"/*.bmp; do
  name="$(basename "$bmp" .bmp)"
  convert "$bmp" "$OUTDIR/$name.png"
  echo "render_cameras: ${OUTDIR#"$ROOT/"}/$name.png"
done
exit "$status"
