#!/usr/bin/env bash
# decode.exe under Wine gives the Linux build's bytes: standard output,
# standard error, exit status and every file written, over generated and
# damaged recordings, for every switch set, every table, the check in both
# forms, the picture, the page, windows and salvage; then the golden
# outputs, names in Greek and Chinese, a file past 4 GiB, a folder, and the
# system layer's own tests.
#
#   differential.sh LINUX_BUILD WINDOWS_BUILD SOURCE_DIR
set -euo pipefail

linux=$(realpath "$1/decode") makeSample=$(realpath "$1/makeSample")
windows=$(realpath "$2/decode.exe") windowsTests=$(realpath "$2/windows_tests.exe")
holdLocked=$(realpath "$2/holdLocked.exe") source=$(realpath "$3")

# Wine turns the words of a command line into UTF-16 by the locale's
# character set: names in UTF-8 arrive whole only under a UTF-8 locale, as
# they do from a Windows shell.
export LC_ALL=C.UTF-8
work=$(mktemp -d)
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k 2>/dev/null || true; rm -rf "$work"; }
trap cleanup EXIT
mkdir "$work/bin" "$work/files" "$work/linux" "$work/windows"
# Both are run by the one name "decode", which starts their messages.
ln -s "$linux" "$work/bin/decode"
# One server for every run, kept until the end: each run then starts in a
# tenth of a second rather than half a second.
mkdir "$WINEPREFIX" && wineserver --persistent
wineboot --init >/dev/null 2>&1

failures=0
runs=0
wineRestarts=0

# One command line in a fresh folder for one build, from the folder of the
# recordings; standard input from $stdin when set.
runSide() {
  local side=$1 status=0
  shift
  rm -rf "${work:?}/$side" && mkdir "$work/$side"
  (
    cd "$work/files"
    exec <"${stdin:-/dev/null}"
    if [[ $side == linux ]]; then
      PATH="$work/bin:$PATH" decode "$@"
    else
      wine "$windows" "$@"
    fi
  ) >"$work/$side/.out" 2>"$work/$side/.err" || status=$?
  echo "$status" >"$work/$side/.status"
  # What a run wrote into the folder of the recordings is moved beside
  # its output, to be compared.
  find "$work/files" -maxdepth 1 -newer "$work/files/.stamp" -type f -exec mv {} "$work/$side/" \;
}

# decode never fails without a word on standard error, so a failure that
# left both streams empty came from Wine starting the process (2 of 338
# command lines in one CI run); decode itself gives the same bytes every
# time, so a fault of its own survives the rerun.
wineGaveNothing() {
  [[ $(cat "$work/windows/.status") != 0 && ! -s $work/windows/.out && ! -s $work/windows/.err ]]
}

runBoth() {
  runSide linux "$@"
  runSide windows "$@"
  local attempt
  for attempt in 1 2; do
    if ! wineGaveNothing || diff -r "$work/linux" "$work/windows" >/dev/null; then break; fi
    echo "Wine started nothing for decode $*: run again ($attempt)"
    wineRestarts=$((wineRestarts + 1))
    runSide windows "$@"
  done
  runs=$((runs + 1))
  if ! diff -r "$work/linux" "$work/windows" >/dev/null; then
    failures=$((failures + 1))
    echo "DIFFERS: decode $*${stdin:+ < $stdin}"
    diff -r "$work/linux" "$work/windows" | head -c 2000 || true
  fi
}

# The recordings: generated, then damaged in the ways field cards are.
cd "$work/files"
cp "$source/examples/d0001.dat" sample.dat
"$makeSample" hour.dat 3600 >/dev/null
"$makeSample" deployment.dat 10800 deployment >/dev/null
cp sample.dat typeByte.dat && printf '\x05' | dd of=typeByte.dat bs=1 seek=5000 conv=notrunc status=none
head -c 40000 sample.dat >cut.dat && tail -c +40002 sample.dat >>cut.dat
cp sample.dat zeroed.dat && dd if=/dev/zero of=zeroed.dat bs=512 seek=100 count=1 conv=notrunc status=none
head -c 300000 sample.dat >garbage.dat && head -c 4096 "$makeSample" >>garbage.dat && tail -c +300001 sample.dat >>garbage.dat
cp sample.dat unwritten.dat && truncate -s +1M unwritten.dat
tail -c +19 sample.dat >headerless.dat
head -c 77777 sample.dat >short.dat
: >empty.dat
printf '\x07\x08\x09junk\n\r\n' >unknown.dat
mkdir folder
# What is newer than this was written by a run.
inputsReady() { touch "$work/files/.stamp"; }
inputsReady

small=(sample.dat typeByte.dat cut.dat zeroed.dat garbage.dat unwritten.dat headerless.dat short.dat empty.dat unknown.dat)
tables=(header marker data pressure index system)

echo "== every switch set, every table, the check, the picture and the page, small files =="
for file in "${small[@]}"; do
  for switches in "" -d -t -s -p -dt -ds -dp -ts -tp -sp -dts -dtp -dsp -tsp -dtsp; do
    runBoth $switches "$file"
  done
  for table in "${tables[@]}"; do runBoth --csv="$table" "$file"; done
  runBoth --csv=data --salvage "$file"
  runBoth --info "$file"
  runBoth --info=json "$file"
  runBoth --info --salvage "$file"
  runBoth --plot=- "$file"
  runBoth --plot=out.svg --salvage "$file"
  runBoth --html=- "$file"
done

echo "== long recordings, windows, several files, standard input =="
for file in hour.dat deployment.dat; do
  runBoth -t "$file"
  for table in "${tables[@]}"; do runBoth --csv="$table" "$file"; done
  runBoth --info "$file"
  runBoth --info=json --salvage "$file"
  runBoth --html=out.html "$file"
done
runBoth -d hour.dat
runBoth --csv=data --from=2026-12-01T00:10 --to=2026-12-01T00:20:00.5 hour.dat
runBoth --plot=window.svg --from=2026-12-01T01:00 --to=2026-12-01T01:30 deployment.dat
runBoth --info sample.dat hour.dat cut.dat
runBoth --csv=pressure sample.dat missing.dat hour.dat
stdin=sample.dat runBoth -t -
stdin=hour.dat runBoth --csv=system -
stdin=cut.dat runBoth --info=json -

echo "== refusals and failures =="
runBoth
runBoth -h
runBoth -x sample.dat
runBoth --version
runBoth --csv sample.dat
runBoth --csv=nothing sample.dat
runBoth --from=yesterday --csv=data sample.dat
runBoth --plot=a.svg --csv=data sample.dat
runBoth --plot=sample.dat sample.dat
runBoth missing.dat
runBoth folder
runBoth --info folder
runBoth --html-budget=0 --html=- sample.dat
runBoth --salvage sample.dat

echo "== names in Greek and Chinese, printed as their UTF-8 bytes =="
cp sample.dat "δοκιμή-测试.dat" && inputsReady
runBoth -t "δοκιμή-测试.dat"
runBoth --info=json "δοκιμή-测试.dat"
runBoth --plot="σχέδιο-图.svg" "δοκιμή-测试.dat"

echo "== a file past 4 GiB, with damage beyond it =="
cp sample.dat big.dat && truncate -s 4500M big.dat && cat sample.dat >>big.dat && inputsReady
runBoth --info big.dat
runBoth --csv=data --salvage big.dat
rm big.dat
cp sample.dat tail.dat && truncate -s 5G tail.dat && inputsReady
runBoth --csv=pressure tail.dat
rm tail.dat

echo "== a file another program keeps locked =="
cp sample.dat locked.dat
coproc holder { wine "$holdLocked" locked.dat; }
read -r held <&"${holder[0]}"
status=0
wine "$windows" -t locked.dat >"$work/locked.out" 2>"$work/locked.err" || status=$?
exec {holder[1]}>&-
wait "$holder_PID"
# The report's line stays as it always was; the reason goes to standard error.
[[ ${held%$'\r'} == locked && $status == 1 && $(cat "$work/locked.out") == "Could not open file locked.dat" &&
  $(cat "$work/locked.err") == *"cannot open locked.dat"* ]] || {
  echo "a locked file: status $status, $(cat "$work/locked.out" "$work/locked.err")"
  failures=$((failures + 1))
}
rm locked.dat

echo "== the golden outputs =="
(cd "$source/examples" && wine "$windows" --info d0001.dat) | diff -u "$source/tests/cli/golden/d0001-info.txt" -
wine "$windows" --plot=- deployment.dat | cmp - "$source/doc/sample.svg"

echo "== --netcdf, which this build has not =="
status=0
wine "$windows" --netcdf=out.nc sample.dat 2>"$work/netcdf.err" || status=$?
[[ $status == 2 && $(wc -l <"$work/netcdf.err") == 1 && ! -e out.nc ]] || { echo "--netcdf: status $status"; failures=$((failures + 1)); }
cat "$work/netcdf.err"

echo "== the system layer's tests =="
wine "$windowsTests" --gtest_brief=1 || failures=$((failures + 1))

echo "$runs command lines compared, $failures differ or fail, $wineRestarts run again after Wine started nothing"
[[ $failures == 0 ]]
