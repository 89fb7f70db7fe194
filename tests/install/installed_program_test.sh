#!/usr/bin/env bash
# An installed Kalbor keeps its files in the user's data folder and writes
# nothing under its prefix; a copy in a writable folder of its own keeps
# them beside itself; the desktop entry and the metadata are valid.
#
#   installed_program_test.sh BUILD_FOLDER KALBOR_DBF
. "$(dirname "$0")/install_fixture.sh"
build=$1
dbf=$2
prefix="$tmp/usr"
export HOME="$tmp/home" XDG_DATA_HOME="$tmp/data"
data="$XDG_DATA_HOME/kalbor"
mkdir -p "$HOME"

cmake --install "$build" --prefix "$prefix" >/dev/null
chmod -R a-w "$prefix"
installed=$(snapshot "$prefix")

# First start: the data folder is made with the settings file, the user list
# and the shipped tables.
start_until_up "$prefix/bin/kalbor" "$data"
for file in KALBOR.INI USERNAME.DBF FOODCAL.DBF MEALTYPE.DBF FOODGROUPS.DBF; do
  [ -f "$data/$file" ] || fail "first start: $file is not in $data"
done
cmp -s "$data/FOODCAL.DBF" "$prefix/share/kalbor/FOODCAL.DBF" ||
  fail "first start: the catalogue is not the shipped one"
[ "$(snapshot "$prefix")" = "$installed" ] || fail "first start wrote under $prefix"

# A product the user marks stays marked at the next start.
row=$("$dbf" locate "$data/FOODCAL.DBF" USED F)
"$dbf" set "$data/FOODCAL.DBF" "$row" USED=T
start_until_up "$prefix/bin/kalbor" "$data"
[ "$("$dbf" locate "$data/FOODCAL.DBF" USED F)" != "$row" ] ||
  fail "second start: the user's catalogue was replaced"
[ "$(snapshot "$prefix")" = "$installed" ] || fail "second start wrote under $prefix"

# A copy in a writable folder of its own keeps its files beside itself.
kept=$(snapshot "$data")
mkdir -p "$tmp/portable"
cp "$prefix/bin/kalbor" "$tmp/portable/kalbor"
start_until_up "$tmp/portable/kalbor" "$tmp/portable"
[ -f "$tmp/portable/USERNAME.DBF" ] || fail "portable copy: no user list beside it"
[ "$(snapshot "$data")" = "$kept" ] || fail "portable copy wrote into $data"

# The desktop entry, the metadata and the icon.
share="$prefix/share"
desktop-file-validate "$share/applications/org.kalbor.Kalbor.desktop" ||
  fail "desktop entry is not valid"
appstreamcli validate --no-net "$share/metainfo/org.kalbor.Kalbor.metainfo.xml" >"$tmp/as.log" ||
  fail "metadata is not valid: $(cat "$tmp/as.log")"
[ -f "$share/icons/hicolor/scalable/apps/org.kalbor.Kalbor.svg" ] || fail "no scalable icon"
for size in 48 64 128 256; do
  file "$share/icons/hicolor/${size}x${size}/apps/org.kalbor.Kalbor.png" |
    grep -q "PNG image data, $size x $size" || fail "no $size pixel icon"
done
for page in kalbor kalbor-dbf; do
  [ -f "$share/man/man1/$page.1.gz" ] || fail "no manual page $page(1)"
done
echo "installed program: OK"
