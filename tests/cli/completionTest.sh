#!/usr/bin/env bash
# Drives the bash completion function as bash would and checks what it
# offers, for whole and split "--option=value" words alike.
#
#   completionTest.sh <completion script>
set -u
export LC_ALL=C
source "$1"
cd "$(mktemp -d)" && touch d0001.dat d0002.dat notes.txt && mkdir plots
failures=0

# offers EXPECTED WORD...: completing the last WORD offers EXPECTED.
offers() {
  local expected=$1
  shift
  COMP_WORDS=(decode "$@")
  COMP_CWORD=$#
  COMPREPLY=()
  _decode
  local got
  got=$(printf '%s\n' "${COMPREPLY[@]}" | sort | paste -sd' ')
  if [[ $got != "$expected" ]]; then
    echo "completing '$*': expected '$expected', got '$got'"
    failures=$((failures + 1))
  fi
}

offers '--csv=' --cs
offers '--info --info=' --inf
offers '--activity-window= --agg= --bottom-fraction= --csv= --dive-depth= --every= --fill --from= --help --html-budget= --html= --info --info= --latitude= --meta= --min-dive= --netcdf= --plot= --salvage --surface-depth= --surface= --to= --version --water= -d -h -p -s -t' -
offers '--netcdf=' --net
offers 'plots' --netcdf=pl
offers 'd0001.dat d0002.dat' --meta d0
offers '--fill --from=' -d --f
offers 'data' --csv=da
offers 'activity data depth dives header index marker pressure system' --csv=e --csv=
offers 'activity data depth dives header index marker pressure system' --csv '=' ''
offers 'pressure' --csv '=' pr
offers 'json' --info=
offers 'json' --info '=' j
offers 'fresh' --water=f
offers 'dives' --csv=di
offers '' --from=2026
offers 'd0001.dat d0002.dat' -d d0
offers 'plots' --plot=pl
offers 'd0001.dat d0002.dat notes.txt plots' --csv=data ''
# The word after an option that takes its value after "=" alone is a file to
# read.
offers 'd0001.dat d0002.dat' --plot d0
offers 'd0001.dat d0002.dat' --csv d0

echo "completion: $failures of 21 cases wrong"
exit $((failures > 0))
