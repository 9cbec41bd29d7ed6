#!/bin/sh
# Installs the Debian packages that the builds and tests need and this
# machine lacks, and makes the locales of the code-page tests; does nothing
# (quickly) when nothing is missing. scripts/test-all.sh and .ci/run run it
# first, scripts/demo.sh with "build".
#
#   scripts/install-deps.sh          what scripts/test-all.sh needs
#   scripts/install-deps.sh build    what the native build needs
#
# Runs apt-get as root, or through sudo; without either it names what is
# missing and fails.
set -eu
need=
need_i386=
locales=
add_i386=0
# A command that may come from elsewhere, else the package that brings it.
command_or() {
  command -v "$1" > /dev/null 2>&1 || need="$need $2"
}
packages() {
  for package in "$@"; do
    dpkg -s "$package" > /dev/null 2>&1 || need="$need $package"
  done
}

# The native build and its tests.
command_or cmake cmake
command_or g++ g++
command_or make make
[ -f /usr/src/googletest/CMakeLists.txt ] || need="$need googletest"
if [ "${1:-all}" != build ]; then
  command_or git git
  command_or mandoc mandoc
  command_or pkg-config pkgconf
  # The Windows builds, and Wine to run them (32-bit Wine needs i386).
  command_or i686-w64-mingw32-g++-posix g++-mingw-w64-i686
  command_or x86_64-w64-mingw32-g++-posix g++-mingw-w64-x86-64
  packages wine64
  # 32-bit Wine under emulation, where the processor has no 32-bit mode.
  command_or qemu-i386-static qemu-user-static
  if ! dpkg -s wine32:i386 > /dev/null 2>&1; then
    dpkg --print-foreign-architectures | grep -qx i386 || add_i386=1
    need_i386="wine wine32:i386"
  fi
  # The gateway behind web servers; the locales whose code pages the
  # Windows tests run under.
  command_or curl curl
  packages lighttpd apache2 locales
  # The packages: archives, the .deb set and its checks, the MSI, the check
  # of their bills of materials, and the comparison of two builds.
  command_or zip zip
  command_or jq jq
  command_or wixl wixl
  command_or msibuild msitools
  command_or faketime faketime
  packages dpkg-dev lintian msitools
  # Debian's own build of the source tree and its checks.
  packages debhelper autopkgtest blhc
  # Debug files read back, and the Windows files signed.
  command_or gdb gdb
  command_or osslsigncode osslsigncode
  command_or openssl openssl
  # hardening-check, for the hardening of the shipped Linux files.
  command_or hardening-check devscripts
  command_or diffoscope diffoscope-minimal
  # The fuzz targets (clang's libFuzzer) and the benchmarks.
  command_or clang++ clang
  packages libclang-rt-14-dev libbenchmark-dev
  for locale in en_US ja_JP zh_CN; do
    locale -a 2> /dev/null | grep -qix "$locale.utf-\?8" ||
      locales="$locales $locale"
  done
fi
[ -n "$need$need_i386$locales" ] || exit 0

if [ "$(id -u)" -eq 0 ]; then
  as_root=
elif command -v sudo > /dev/null 2>&1; then
  as_root=sudo
else
  echo "install-deps: missing:$need${need_i386:+ $need_i386}${locales:+ locales$locales};" \
       "run scripts/install-deps.sh as root" >&2
  exit 1
fi
if [ -n "$need$need_i386" ]; then
  echo "installing:$need${need_i386:+ $need_i386}"
  [ "$add_i386" -eq 0 ] || $as_root dpkg --add-architecture i386
  # A mirror caught mid-sync fails one index; a second try usually gets
  # it, and failing that the install goes on with the lists it has.
  update() { $as_root env DEBIAN_FRONTEND=noninteractive apt-get update -qq; }
  update || { sleep 20; update; } ||
    echo "install-deps: apt-get update failed; installing from the lists it has" >&2
  [ -z "$need" ] || $as_root env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends $need > /dev/null
  # 32-bit Wine apart: where the i386 lists cannot be had, the rest is
  # still installed and the 32-bit runs report what is missing.
  if [ -n "$need_i386" ] &&
     ! $as_root env DEBIAN_FRONTEND=noninteractive \
       apt-get install -y -qq --no-install-recommends $need_i386 > /dev/null; then
    echo "install-deps: 32-bit Wine ($need_i386) could not be installed;" \
         "the 32-bit programs cannot be run" >&2
  fi
fi
for locale in $locales; do
  $as_root localedef -i "$locale" -f UTF-8 "$locale.UTF-8"
done
