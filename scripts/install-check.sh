#!/usr/bin/env bash
# The installed program works: builds the Debian package and checks it with
# lintian (scripts/package.sh), installs it, and then, from an empty
# directory and with the source and build trees hidden, draws the packaged
# example with the installed mural (no VELIN_DIR), converts the plot with
# plt2img, renders both manual pages, tries the bash completion, and removes
# the package again, checking that nothing of it is left. Needs root (or
# sudo) for apt-get; a mural package installed before is replaced and removed.
set -euo pipefail
cd "$(dirname "$0")/.."
repo="$PWD"
bash scripts/package.sh
deb=("$repo"/build-package/mural_*.deb)

SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"
work="$(mktemp -d)"
log="$work/apt.log"
fail() { echo "install-check: $*" >&2; exit 1; }
cleanup() {
  if dpkg-query -W -f='${Status}' mural 2>/dev/null | grep -q installed; then
    $SUDO apt-get purge -y mural >/dev/null 2>&1 || true
  fi
  rm -rf "$work"
}
trap cleanup EXIT

DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y --no-install-recommends "${deb[0]}" >"$log" 2>&1 ||
  { cat "$log"; fail "the package does not install"; }
version="$(dpkg-query -W -f='${Version}' mural)"
echo "== installed mural $version: $(command -v mural), $(command -v plt2img)"
[ "$(command -v mural)" = /usr/bin/mural ] || fail "mural is not /usr/bin/mural"
mural --version | grep -q " ## MURAL V$version " || fail "mural --version does not show $version"

# Runs a command with the source and build trees hidden under an empty
# directory, so that the installed programs can only use what the package
# installed; where no mount namespace can be made (not root), as it is.
hidden() {
  if unshare --mount --propagation private true 2>/dev/null; then
    unshare --mount --propagation private sh -c 'mount -t tmpfs none "$0" && exec "$@"' "$repo" "$@"
  else
    echo "install-check: no mount namespace; the source tree stays visible" >&2
    "$@"
  fi
}

# The example, from an empty directory.
run="$work/run"
mkdir "$run"
cp /usr/share/doc/mural/examples/* "$run"/
cd "$run"
hidden env -u VELIN_DIR mural run1 /l:RO /g=png <vektoren.txt >mural.log 2>&1 ||
  { tail -n 20 mural.log; fail "the installed mural does not draw the example"; }
hidden env -u VELIN_DIR plt2img MURAL.PLT MURAL.pdf >plt2img.log 2>&1 &&
  hidden env -u VELIN_DIR plt2img MURAL.PLT MURAL-300.png --dpi 300 >>plt2img.log 2>&1 ||
  { cat plt2img.log; fail "the installed plt2img does not convert the plot"; }
[ "$(head -c 5 MURAL.pdf)" = "%PDF-" ] || fail "MURAL.pdf is no PDF"
for png in MURAL.png MURAL-300.png; do
  [ "$(head -c 8 "$png" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$png is no PNG"
done
grep -q "Bild: MURAL.png" mural.log || fail "mural did not report its picture"
echo "== example drawn: $(wc -c <MURAL.PLT) bytes of plot, MURAL.png, MURAL.pdf, MURAL-300.png"

# The example as NetCDF with the installed erg2nc, drawn again by mural: the same plot.
hidden env -u VELIN_DIR erg2nc run1 >erg2nc.log 2>&1 ||
  { cat erg2nc.log; fail "the installed erg2nc does not write the example"; }
hidden env -u VELIN_DIR mural run1.nc /l:RO /p=NC.PLT <vektoren.txt >mural-nc.log 2>&1 ||
  { tail -n 20 mural-nc.log; fail "the installed mural does not draw the example's NetCDF file"; }
cmp -s MURAL.PLT NC.PLT ||
  fail "the example's NetCDF file draws another plot than its result file"
rm -f run1.nc NC.PLT
echo "== erg2nc: the example's NetCDF file draws the same plot"

# The example's atlas with the installed mural-atlas, which runs the installed mural.
hidden env -u VELIN_DIR mural-atlas atlas.txt -o "$work/atlas" -j 2 >atlas.log 2>&1 ||
  { tail -n 20 atlas.log; fail "the installed mural-atlas does not draw the example's atlas"; }
[ -s "$work/atlas/index.html" ] || fail "mural-atlas wrote no index.html"
echo "== atlas drawn: $(ls "$work"/atlas/*.plt | wc -l) pictures"

# The manual pages, as man shows them, without a warning.
for page in mural plt2img mural-atlas erg2nc; do
  text="$(MANWIDTH=80 man "$page" 2>/dev/null)" || fail "man $page fails"
  warnings="$(MANWIDTH=80 man --warnings "$page" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || fail "man $page warns: $warnings"
  grep -q "^SYNOPSIS" <<<"$text" || fail "man $page shows no synopsis"
done
echo "== man mural, man plt2img, man mural-atlas: $(MANWIDTH=80 man mural 2>/dev/null | wc -l), $(MANWIDTH=80 man plt2img 2>/dev/null | wc -l) and $(MANWIDTH=80 man mural-atlas 2>/dev/null | wc -l) lines"

# The bash completion, as bash-completion loads it: "mural <Tab>" offers the
# result files, "mural run1 /l:<Tab>" the legend positions, "plt2img MURAL.PLT
# <Tab>" the picture names.
# completions LINE WORD...: what <Tab> offers at the end of LINE, split into
# words as bash splits it (also at "=" and ":").
completions() {
  bash -c 'source /usr/share/bash-completion/bash_completion
    COMP_LINE=$1; COMP_POINT=${#1}; shift
    COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1))
    __load_completion "$1" || exit 1
    function=$(complete -p "$1" | sed "s/.* -F \([^ ]*\) .*/\1/")
    "$function" "$1" "${@: -1}" "${@: -2:1}"
    printf "%s\n" "${COMPREPLY[@]}" | sort | tr "\n" " "' completions "$@"
}
got="$(completions 'mural ' mural '')"
[ "$got" = "run1.DIF run1.ERG " ] || fail "mural <Tab> offers '$got'"
got="$(completions 'mural run1 /l:' mural run1 /l ':' '')"
[ "$got" = "NO RO RU UL UR XY " ] || fail "mural run1 /l:<Tab> offers '$got'"
got="$(completions 'plt2img MURAL.PLT MURAL' plt2img MURAL.PLT MURAL)"
[ "$got" = "MURAL-300.png MURAL.pdf MURAL.png " ] || fail "plt2img MURAL.PLT MURAL<Tab> offers '$got'"
got="$(completions 'mural-atlas --in' mural-atlas --in)"
[ "$got" = "--index-only " ] || fail "mural-atlas --in<Tab> offers '$got'"
echo "== bash completion of mural, plt2img and mural-atlas"

# Removed cleanly: nothing of the package's files is left.
cd "$work"
files="$(dpkg-query -L mural)"
DEBIAN_FRONTEND=noninteractive $SUDO apt-get purge -y mural >"$log" 2>&1 ||
  { cat "$log"; fail "the package does not remove"; }
if dpkg-query -W -f='${Status}' mural 2>/dev/null | grep -q installed; then fail "mural is still installed"; fi
left="$(while read -r f; do [ ! -e "$f" ] || [ -d "$f" ] || echo "$f"; done <<<"$files")"
[ -z "$left" ] || fail "left behind: $left"
for dir in /usr/share/mural /usr/share/doc/mural; do [ ! -e "$dir" ] || fail "left behind: $dir"; done
echo "== package removed; install check passed"
