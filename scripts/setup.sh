#!/usr/bin/env bash
# Installs what a fresh Debian machine lacks to build and test MURAL:
# compiler, CMake, Ninja, GoogleTest, cairo, the NetCDF library, cppcheck, hp2xx (a
# second renderer the tests check plots with), the readers the tests check
# NetCDF files with (ncdump, GDAL, Python's xarray; MURAL_WITH_NETCDF_READERS=0
# leaves them out) and, on request, a browser and poppler
# (MURAL_WITH_READERS=1), clang with its libFuzzer runtime
# (MURAL_WITH_FUZZER=1) and the tools that build and check the Debian
# package (MURAL_WITH_PACKAGING=1).
set -euo pipefail

missing=()
command -v g++ >/dev/null || missing+=(g++)
command -v cmake >/dev/null || missing+=(cmake)
command -v ninja >/dev/null || missing+=(ninja-build)
[ -f /usr/include/gtest/gtest.h ] || missing+=(libgtest-dev)
[ -f /usr/include/cairo/cairo.h ] || missing+=(libcairo2-dev)
[ -f /usr/include/netcdf.h ] || missing+=(libnetcdf-dev)
command -v cppcheck >/dev/null || missing+=(cppcheck)
if [ "${MURAL_WITH_HP2XX:-1}" = 1 ]; then
  command -v hp2xx >/dev/null || missing+=(hp2xx)
fi
# Independent readers of the NetCDF files of erg2nc, for the tests that
# compare what they see with the run (Python is Debian's, /usr/bin/python3).
if [ "${MURAL_WITH_NETCDF_READERS:-1}" = 1 ]; then
  command -v ncdump >/dev/null || missing+=(netcdf-bin)
  command -v gdalinfo >/dev/null || missing+=(gdal-bin)
  /usr/bin/python3 -c "import xarray" 2>/dev/null || missing+=(python3-xarray)
  /usr/bin/python3 -c "import netCDF4" 2>/dev/null || missing+=(python3-netcdf4)
fi
# Independent readers of MURAL's SVG and PDF pictures, for the tests that
# compare them with MURAL's own PNG (CI sets MURAL_WITH_READERS=1).
if [ "${MURAL_WITH_READERS:-0}" = 1 ]; then
  command -v chromium >/dev/null || missing+=(chromium)
  command -v pdftoppm >/dev/null || missing+=(poppler-utils)
fi

# clang and its libFuzzer runtime, for the fuzz targets (scripts/fuzz.sh).
if [ "${MURAL_WITH_FUZZER:-0}" = 1 ]; then
  command -v clang++-14 >/dev/null || missing+=(clang-14)
  compgen -G "/usr/lib/llvm-14/lib/clang/*/lib/linux/libclang_rt.fuzzer-x86_64.a" >/dev/null || missing+=(libclang-rt-14-dev)
fi

# scdoc for the manual pages; dpkg-dev, file and lintian for the package
# (scripts/package.sh); man and bash-completion for its install check.
if [ "${MURAL_WITH_PACKAGING:-0}" = 1 ]; then
  command -v scdoc >/dev/null || missing+=(scdoc)
  command -v dpkg-shlibdeps >/dev/null || missing+=(dpkg-dev)
  command -v file >/dev/null || missing+=(file)
  command -v lintian >/dev/null || missing+=(lintian)
  command -v man >/dev/null || missing+=(man-db)
  [ -f /usr/share/bash-completion/bash_completion ] || missing+=(bash-completion)
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  SUDO=""
  [ "$(id -u)" -eq 0 ] || SUDO="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $SUDO apt-get install -y --no-install-recommends "${missing[@]}" >/dev/null 2>&1 ||
    { $SUDO apt-get update >/dev/null && $SUDO apt-get install -y --no-install-recommends "${missing[@]}"; }
fi
