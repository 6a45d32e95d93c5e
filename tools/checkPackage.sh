#!/usr/bin/env bash
# Installs the build into a scratch prefix and makes the Debian package,
# checking that both hold the program and its man page and that the page
# renders without warnings.
#
#   tools/checkPackage.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/decode share/man/man1/decode.1; do
  test -f "$prefix/$file" || { echo "install lacks $file" >&2; exit 1; }
done
"$prefix/bin/decode" --version

warnings=$(MANWIDTH=80 man --warnings -l doc/decode.1 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "man page warnings: $warnings" >&2; exit 1; }

(cd "$build" && cpack -G DEB >/dev/null)
package=$(ls "$build"/decode_*.deb)
contents=$(dpkg-deb -c "$package")
for file in ./usr/bin/decode ./usr/share/man/man1/decode.1; do
  grep -q " $file\$" <<<"$contents" || { echo "$package lacks $file" >&2; exit 1; }
done
echo "install and package: $package holds bin/decode and the man page"
