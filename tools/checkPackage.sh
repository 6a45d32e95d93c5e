#!/usr/bin/env bash
# Installs the build into a scratch prefix and makes the Debian package,
# checking that both hold everything a user gets, that the man page reads
# cleanly with man and mandoc, and that Debian's own checker accepts the
# package without an error or a warning.
#
#   tools/checkPackage.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
files=(bin/decode share/man/man1/decode.1.gz share/doc/decode/copyright share/doc/decode/changelog.gz
       share/bash-completion/completions/decode)

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in "${files[@]}"; do
  test -f "$prefix/$file" || { echo "install lacks $file" >&2; exit 1; }
done
"$prefix/bin/decode" --version

warnings=$(MANWIDTH=80 man --warnings -l doc/decode.1 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "man page warnings: $warnings" >&2; exit 1; }
mandoc -Tlint doc/decode.1 || { echo "mandoc finds fault with the man page" >&2; exit 1; }

(cd "$build" && rm -f decode_*.deb && cpack -G DEB >/dev/null)
package=$(ls "$build"/decode_*.deb)
contents=$(dpkg-deb -c "$package")
for file in "${files[@]}"; do
  grep -q " ./usr/$file\$" <<<"$contents" || { echo "$package lacks /usr/$file" >&2; exit 1; }
done
# Informational tags are shown but do not fail.
lintian --info --fail-on error,warning "$package" || { echo "lintian rejects $package" >&2; exit 1; }
echo "install and package: $package holds ${#files[@]} files; man, mandoc and lintian find no fault"
