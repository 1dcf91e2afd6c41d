#!/usr/bin/env bash
# Builds the Debian package build-package/mural_<version>_<arch>.deb with
# CPack, from a build with Debian's compiler flags (optimisation, hardening)
# for the prefix /usr, and checks it with lintian: an error or a warning that
# the package does not override fails. Prints the package's path last.
# Install it with: sudo apt install ./build-package/mural_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
MURAL_WITH_HP2XX=0 MURAL_WITH_PACKAGING=1 bash scripts/setup.sh
build=build-package

export DEB_BUILD_MAINT_OPTIONS=hardening=+all
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=None -DCMAKE_INSTALL_PREFIX=/usr \
  -DMURAL_TESTS=OFF -DMURAL_MANPAGES=ON \
  -DCMAKE_CXX_FLAGS="$(dpkg-buildflags --get CPPFLAGS) $(dpkg-buildflags --get CXXFLAGS)" \
  -DCMAKE_EXE_LINKER_FLAGS="$(dpkg-buildflags --get LDFLAGS)" >/dev/null
cmake --build "$build"
rm -f "$build"/*.deb
cpack --config "$build/CPackConfig.cmake" -B "$build" >"$build/cpack.log" 2>&1 ||
  { cat "$build/cpack.log"; exit 1; }
deb=("$build"/mural_*.deb)
[ ${#deb[@]} -eq 1 ] && [ -f "${deb[0]}" ] || { echo "package.sh: no package in $build"; exit 1; }

# The manual pages read without a warning of man or groff.
for page in "$build"/doc/*.[1-9]; do
  warnings="$(MANWIDTH=80 man --warnings -l "$page" 2>&1 >/dev/null)"
  [ -z "$warnings" ] || { echo "package.sh: $page: $warnings"; exit 1; }
done

lintian --fail-on error,warning --display-info "${deb[0]}"
echo "${deb[0]}"
