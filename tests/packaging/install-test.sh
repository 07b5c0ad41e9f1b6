#!/usr/bin/env bash
# Installs the build into a scratch root as a packager does (DESTDIR, prefix
# /usr) and checks the tree; then the stand-in driver's own component, which a
# plain install leaves out.
#   install-test.sh BUILD_DIR SCRATCH_ROOT CHECK_SCRIPT
set -euo pipefail
build=$1 root=$2 check=$3
rm -rf "$root"
DESTDIR="$root/default" cmake --install "$build" --prefix /usr > "$root.log"
status=0
"$check" "$root/default" /usr || status=$?
DESTDIR="$root/standin" cmake --install "$build" --prefix /usr --component standin_d2xx >> "$root.log"
standin=$(find "$root/standin" -name libftd2xx.so)
if [ -z "$standin" ]; then
  echo "install-test: the standin_d2xx component holds no libftd2xx.so" >&2
  exit 1
fi
case "$standin" in
  */amppanel/standin-d2xx/libftd2xx.so) ;;
  *) echo "install-test: the stand-in lies where the system would find it: $standin" >&2; exit 1 ;;
esac
exit "$status"
