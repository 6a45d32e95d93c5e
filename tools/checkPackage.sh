#!/usr/bin/env bash
# Installs the build into a scratch prefix and makes the Debian packages,
# checking that both hold everything a user gets, that the man page reads
# cleanly with man and mandoc, that the Python package imports from where
# it is installed, and that Debian's own checker accepts every package
# without an error or a warning.
#
#   tools/checkPackage.sh [build folder]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix
program=(bin/decode share/man/man1/decode.1.gz share/doc/decode/copyright share/doc/decode/changelog.gz
         share/bash-completion/completions/decode)
# The page that decodes in the browser, where the build made it.
if [[ -f $build/decode-web.html ]]; then
  program+=(share/doc/decode/decode-web.html)
fi
python=(lib/python3/dist-packages/zolt/__init__.py lib/python3/dist-packages/zolt/_zolt.pyi
        share/doc/python3-zolt/copyright share/doc/python3-zolt/changelog.gz)

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in "${program[@]}"; do
  test -f "$prefix/$file" || { echo "install lacks $file" >&2; exit 1; }
done
"$prefix/bin/decode" --version

warnings=$(MANWIDTH=80 man --warnings -l doc/decode.1 2>&1 >/dev/null)
[ -z "$warnings" ] || { echo "man page warnings: $warnings" >&2; exit 1; }
mandoc -Tlint doc/decode.1 || { echo "mandoc finds fault with the man page" >&2; exit 1; }

(cd "$build" && rm -f ./*.deb && cpack -G DEB >/dev/null)
has() {  # has PACKAGE FILE...
  local package=$1 contents
  shift
  contents=$(dpkg-deb -c "$package")
  for file in "$@"; do
    grep -q " ./usr/$file\$" <<<"$contents" || { echo "$package lacks /usr/$file" >&2; exit 1; }
  done
}
has "$build"/decode_*.deb "${program[@]}"
packages=("$build"/decode_*.deb)
if ls "$build"/python3-zolt_*.deb >/dev/null 2>&1; then
  has "$build"/python3-zolt_*.deb "${python[@]}"
  # The package as installed: Debian's Python imports it and reads a file.
  dpkg-deb -x "$build"/python3-zolt_*.deb "$work/root"
  (cd "$work" && PYTHONPATH="$work/root/usr/lib/python3/dist-packages" /usr/bin/python3 -c \
    'import sys, zolt; assert len(zolt.read(sys.argv[1])) == 6000' "$OLDPWD/examples/d0001.dat")
  packages+=("$build"/python3-zolt_*.deb)
fi
# Informational tags are shown but do not fail.
for package in "${packages[@]}"; do
  lintian --info --fail-on error,warning "$package" || { echo "lintian rejects $package" >&2; exit 1; }
done
echo "install and packages: ${packages[*]##*/}; man, mandoc and lintian find no fault"
