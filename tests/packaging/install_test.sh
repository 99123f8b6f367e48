#!/usr/bin/env bash
# Installs a build into a temporary DESTDIR and checks what arrives: both programs run from there,
# the desktop entry and the MIME type are valid and agree, the manual pages name every subcommand,
# the installed viewer finds a boat that lies only in the installed share/hulvex, and the Python
# module imports from the installed tree (when HULVEX_PYTHON names the interpreter it is built for).
# Usage: install_test.sh CMAKE BUILD_DIR VERSION
set -euo pipefail
cmake=$1 build=$2 version=$3

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
fail() {
  echo "install test: $*" >&2
  exit 1
}

# Any prefix will do, and the tree is run from inside DESTDIR: the programs find their data from
# their own path.
prefix=/opt/hulvex
DESTDIR=$stage "$cmake" --install "$build" --prefix "$prefix" >/dev/null
bin=$stage$prefix/bin
share=$stage$prefix/share

for program in hulvex hulvex-viewer; do
  shown=$("$bin/$program" --version)
  [[ $shown == "$program $version" ]] || fail "$program --version printed '$shown'"
done
"$bin/hulvex" make-demo "$stage/runs" >/dev/null
"$bin/hulvex" info "$stage/runs/DV30HEAD.HVX" | grep -q '"BoatFile"' || fail "hulvex info printed no run parameters"

desktop=$share/applications/hulvex-viewer.desktop
mime=$share/mime/packages/hulvex.xml
desktop-file-validate "$desktop" || fail "desktop entry refused"
xmllint --noout "$mime" "$share/icons/hicolor/scalable/apps/hulvex-viewer.svg" || fail "MIME file or icon refused"
type=$(sed -n 's/.*<mime-type type="\([^"]*\)".*/\1/p' "$mime")
grep -qx "MimeType=$type;" "$desktop" || fail "the desktop entry does not open $type"
# The MIME database built from the file alone: the globs match in any case (a case-insensitive
# glob is stored in lower case, without the "cs" flag).
mkdir -p "$stage/mime/packages"
cp "$mime" "$stage/mime/packages/"
problems=$(XDG_DATA_DIRS=$stage update-mime-database "$stage/mime" 2>&1) || fail "update-mime-database: $problems"
[[ -z $problems ]] || fail "update-mime-database: $problems"
for glob in '*.HVX' '*.hvx'; do
  grep -qF "pattern=\"$glob\"" "$mime" || fail "no glob $glob"
done
grep -qxF "50:$type:*.hvx" "$stage/mime/globs2" || fail "no case-insensitive glob in $(cat "$stage/mime/globs2")"

# The manual pages name every subcommand that hulvex --help lists.
subcommands=$("$bin/hulvex" --help | sed -n '/^Subcommands:/,/^$/p' | awk 'NR > 1 && NF { print $1 }')
[[ -n $subcommands ]] || fail "hulvex --help lists no subcommands"
for page in hulvex hulvex-viewer; do
  [[ -s $share/man/man1/$page.1.gz ]] || fail "no manual page $page.1"
done
page_text() { gzip -dc "$share/man/man1/$1.1.gz" | sed 's/\\-/-/g'; }
page=$(page_text hulvex)
for sub in $subcommands; do
  grep -qx -- "$sub" <<<"$page" || fail "hulvex.1 does not name the subcommand $sub"
done
page_text hulvex-viewer | grep -q -- '--check' || fail "hulvex-viewer.1 does not describe --check"
for doc in README.md LICENSE copyright changelog.gz; do [[ -s $share/doc/hulvex/$doc ]] || fail "$doc not installed"; done

# A spline-hull run whose boat and spline files lie only in the installed share/hulvex.
mkdir -p "$share/hulvex"
mv "$stage/runs/"*.BOT "$stage/runs/"*.SPL "$share/hulvex/"
report=$(QT_QPA_PLATFORM=offscreen "$bin/hulvex-viewer" --check "$stage/runs/PC28STOK.HVX") ||
  fail "the installed viewer did not open the run: $report"
[[ $report == "hull drawable: $share/hulvex/PC28.BOT" ]] || fail "viewer reported '$report'"

# The Python module in Debian's path, importable from there alone.
if [[ -n ${HULVEX_PYTHON:-} ]]; then
  packages=$stage$prefix/lib/python3/dist-packages
  for f in __init__.py __init__.pyi py.typed; do [[ -f $packages/hulvex/$f ]] || fail "hulvex/$f not installed"; done
  compgen -G "$packages/hulvex/_hulvex.*.so" >/dev/null || fail "the extension hulvex/_hulvex is not installed"
  imported=$(cd / && env LD_PRELOAD="${HULVEX_PYTHON_PRELOAD:-}" ASAN_OPTIONS=detect_leaks=0 PYTHONPATH="$packages" \
    "$HULVEX_PYTHON" -c 'import hulvex; print(hulvex.__file__, hulvex.__version__)') || fail "import hulvex failed"
  [[ $imported == "$packages/hulvex/__init__.py $version" ]] || fail "import hulvex gave '$imported'"
fi
