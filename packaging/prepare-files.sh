#!/bin/sh
# Makes the shipped files of a staging tree ready, the one place where this
# happens for the archives, the .deb set and the MSI: each ELF and PE file
# has its debug information split off into DEBUG-DIR (same path, ".debug"
# added), is stripped (symbols, .comment and .note gone) and, when it is a
# Windows file, names its debug file in .gnu_debuglink and is signed.
#
#   prepare-files.sh TREE DEBUG-DIR     every ELF and PE file below TREE
#   prepare-files.sh -s FILE            signs FILE alone (the MSI)
#
# OBJCOPY names the build's objcopy (the cross one for Windows files).
# Signing happens when NORVANE_SIGN_PKCS12 names a PKCS#12 file, with its
# password in NORVANE_SIGN_PASSWORD and, when NORVANE_SIGN_TIMESTAMP is set,
# a time stamp from that RFC 3161 server; OSSLSIGNCODE names the signing
# tool. Every time written (the Windows header, the signing time) is
# SOURCE_DATE_EPOCH, so two builds agree.
set -eu
: "${SOURCE_DATE_EPOCH:?is not set}"
objcopy=${OBJCOPY:-objcopy}

# Signs FILE in place with SHA-256, when a certificate is given.
sign() {
  [ -n "${NORVANE_SIGN_PKCS12:-}" ] || return 0
  : "${NORVANE_SIGN_PASSWORD:?must be set with NORVANE_SIGN_PKCS12}"
  # The password goes through a pipe, never on a command line; the signed
  # copy is written back over the file, which keeps its mode.
  printf '%s' "$NORVANE_SIGN_PASSWORD" |
    "${OSSLSIGNCODE:-osslsigncode}" sign -pkcs12 "$NORVANE_SIGN_PKCS12" \
      -readpass - -h sha256 -time "$SOURCE_DATE_EPOCH" \
      ${NORVANE_SIGN_TIMESTAMP:+-ts "$NORVANE_SIGN_TIMESTAMP"} \
      -in "$1" -out "$1.signed" > /dev/null
  cat "$1.signed" > "$1"
  rm -f "$1.signed"
}

if [ "$1" = -s ]; then
  sign "$2"
  exit 0
fi

tree=$1
debug=$2
find "$tree" -type f | LC_ALL=C sort | while read -r file; do
  case $(od -An -tx1 -N4 "$file" | tr -d ' \n') in
    7f454c46) kind=elf ;;
    4d5a*) kind=pe ;;
    *) continue ;;
  esac
  rel=${file#"$tree"/}
  out=$debug/$rel.debug
  mkdir -p "$(dirname "$out")"
  # Shared libraries keep the symbols that relocations need (Debian's rule).
  case $kind-$rel in
    elf-*.so | elf-*.so.*) strip=--strip-unneeded ;;
    *) strip=--strip-all ;;
  esac
  if [ "$kind" = elf ]; then
    "$objcopy" --only-keep-debug --compress-debug-sections "$file" "$out"
  else
    "$objcopy" --only-keep-debug "$file" "$out"
  fi
  chmod 644 "$out"
  "$objcopy" $strip --remove-section=.comment --remove-section=.note "$file"
  # An ELF file's debug file is found by its build id; a Windows file's by
  # the name and CRC that the link holds.
  if [ "$kind" = pe ]; then
    "$objcopy" --add-gnu-debuglink="$out" "$file"
    sign "$file"
  fi
done
