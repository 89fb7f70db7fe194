#!/usr/bin/env bash
# The Debian package: its files, its control fields (dependencies computed
# from the binaries) and no error from lintian.
#
#   package_test.sh BUILD_FOLDER
. "$(dirname "$0")/install_fixture.sh"
build=$1

cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp" >"$tmp/cpack.log" 2>&1 ||
  fail "cpack: $(cat "$tmp/cpack.log")"
deb="$tmp/kalbor_$(sed -n 's/^set(CPACK_PACKAGE_VERSION "\(.*\)")$/\1/p' "$build/CPackConfig.cmake")_$(dpkg --print-architecture).deb"
[ -f "$deb" ] || fail "no package $deb: $(ls "$tmp")"

files=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in usr/bin/kalbor usr/bin/kalbor-dbf \
    usr/share/kalbor/FOODCAL.DBF usr/share/kalbor/MEALTYPE.DBF usr/share/kalbor/FOODGROUPS.DBF \
    usr/share/kalbor/KALBOR.HLP usr/share/applications/org.kalbor.Kalbor.desktop \
    usr/share/metainfo/org.kalbor.Kalbor.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/org.kalbor.Kalbor.svg \
    usr/share/icons/hicolor/48x48/apps/org.kalbor.Kalbor.png \
    usr/share/icons/hicolor/256x256/apps/org.kalbor.Kalbor.png \
    usr/share/man/man1/kalbor.1.gz usr/share/man/man1/kalbor-dbf.1.gz \
    usr/share/doc/kalbor/copyright usr/share/doc/kalbor/changelog.gz; do
  grep -qx "\./$path" <<<"$files" || fail "the package lacks /$path"
done

field() { dpkg-deb -f "$deb" "$1"; }
[ "$(field Package)" = kalbor ] || fail "Package: $(field Package)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
for dependency in libc6 libstdc++6 libqt6widgets6 qt6-qpa-plugins; do
  grep -q "\b$dependency\b" <<<"$(field Depends)" || fail "Depends lacks $dependency: $(field Depends)"
done
grep -q "calorie diary" <<<"$(field Description)" || fail "Description: $(field Description)"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/kalbor/copyright >"$tmp/copyright"
grep -q "GPL-3.0+" "$tmp/copyright" && grep -q "public domain" "$tmp/copyright" ||
  fail "the copyright file names neither the licence nor the catalogue's provenance"

lintian --fail-on error "$deb" >"$tmp/lintian.log" 2>&1 || fail "lintian: $(cat "$tmp/lintian.log")"
grep -E "^[EW]:" "$tmp/lintian.log" || true
echo "package: OK"
