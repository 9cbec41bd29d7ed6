#!/bin/sh
# Checks the bill of materials of one package: unpacks it (zip, tar.gz,
# .deb, or MSI through msiextract) and checks that its one *.spdx.json
# member, in its place, is an SPDX 2.3 document of the package in VERSION
# made at SOURCE_DATE_EPOCH (the last commit's time when unset) that lists
# exactly the package's other regular files with their SHA1 and SHA256 and a
# matching verification code, notes each symbolic link with its target, and
# names what each program and library links from outside: the mingw-w64
# runtime and libgcc for a Windows file, glibc for a Linux one, each
# component of a Debian package with the version that dpkg reports.
#
#   tests/consumer/check-sbom.sh VERSION PACKAGE
#
# Exits 0 when every check holds; says on stderr what does not.
set -u
version=$1
package=$(cd "$(dirname "$2")" && pwd)/$(basename "$2")
epoch=${SOURCE_DATE_EPOCH:-$(git -C "$(dirname "$0")" log -1 --format=%ct)}
created=$(date -u -d "@$epoch" +%Y-%m-%dT%H:%M:%SZ)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
fail() {
  echo "$(basename "$package"): $*" >&2
  status=1
}

# The unpacked files (ROOT: the top of the package's tree, for an MSI the
# product's folder), and where the document belongs among them.
mkdir "$work/tree"
root=$work/tree
name=$(basename "$package")
case $name in
  *.deb)
    dpkg-deb -x "$package" "$work/tree" || exit 1
    pkg=$(dpkg-deb -f "$package" Package)
    case $pkg in
      *-dbgsym) want=usr/lib/debug/$pkg.spdx.json ;;
      *) want=usr/share/doc/$pkg/$pkg.spdx.json ;;
    esac ;;
  *.msi)
    msiextract -C "$work/tree" "$package" > /dev/null || exit 1
    want=$(cd "$work/tree" && find . -name "${name%.msi}.spdx.json" |
           sed 's|^\./||')
    root=$work/tree/$(dirname "$want") ;;
  *)
    (cd "$work/tree" && cmake -E tar xf "$package") || exit 1
    want=$(echo "$name" | sed -E 's/\.(zip|tar\.gz)$//').spdx.json ;;
esac
found=$(cd "$work/tree" && find . -name '*.spdx.json' | sed 's|^\./||')
if [ -z "$want" ] || [ "$found" != "$want" ] ||
   [ "$(echo "$found" | wc -l)" -ne 1 ]; then
  fail "bill of materials: $found, not one $want"
  exit 1
fi
doc=$work/tree/$want
rel=./${doc#"$root"/}
# The package that the document describes.
main='def main: (.relationships[] |
    select(.spdxElementId == "SPDXRef-DOCUMENT" and
           .relationshipType == "DESCRIBES") | .relatedSpdxElement) as $id |
  .packages[] | select(.SPDXID == $id);'

if ! jq -e --arg created "$created" '
     .spdxVersion == "SPDX-2.3" and .dataLicense == "CC0-1.0" and
     .SPDXID == "SPDXRef-DOCUMENT" and (.name | length > 0) and
     (.documentNamespace | test("^https?://[^#]+$")) and
     (.creationInfo.creators | length > 0) and
     .creationInfo.created == $created' "$doc" > /dev/null; then
  fail "not an SPDX 2.3 document of the epoch's time"
  exit 1
fi
if ! jq -e --arg version "$version" "$main"'
     ([.relationships[] | select(.relationshipType == "DESCRIBES")] |
      length == 1) and
     (main | .versionInfo == $version and
      .supplier == "Organization: Norvane" and
      .downloadLocation == "NOASSERTION" and .filesAnalyzed == true and
      (.name | length > 0))' "$doc" > /dev/null; then
  fail "no package of version $version by Norvane"
fi

# Every regular file but the document, with its checksums; the links.
(cd "$root" && find . -type f ! -path "$rel" | LC_ALL=C sort |
   while read -r f; do
     printf '%s\t%s\t%s\n' "$f" "$(sha1sum < "$f" | cut -d' ' -f1)" \
       "$(sha256sum < "$f" | cut -d' ' -f1)"
   done) > "$work/files.want"
jq -r '.files[] | [.fileName,
         (.checksums[] | select(.algorithm == "SHA1") | .checksumValue),
         (.checksums[] | select(.algorithm == "SHA256") | .checksumValue)] |
       @tsv' "$doc" | LC_ALL=C sort > "$work/files.got"
diff "$work/files.want" "$work/files.got" >&2 ||
  fail "files or checksums differ from the package's"
code=$(cut -f2 "$work/files.want" | LC_ALL=C sort | tr -d '\n' | sha1sum |
       cut -d' ' -f1)
got=$(jq -r "$main"'main | .packageVerificationCode |
          .packageVerificationCodeValue' "$doc")
[ "$got" = "$code" ] || fail "verification code $got, not $code"
(cd "$root" && find . -type l | LC_ALL=C sort | while read -r l; do
   echo "Symbolic link $l -> $(readlink "$l")"
 done) > "$work/links.want"
jq -r "$main"'main | .annotations // [] | .[].comment' "$doc" |
  LC_ALL=C sort > "$work/links.got"
diff "$work/links.want" "$work/links.got" >&2 ||
  fail "symbolic links differ from the package's"

# Every file in the package, every element related, every licence defined.
jq -e "$main"'(.files | map(.SPDXID)) as $files | (main | .SPDXID) as $main |
       ([.relationships[] | select(.spdxElementId == $main and
          .relationshipType == "CONTAINS") | .relatedSpdxElement]) as $held |
       (["SPDXRef-DOCUMENT"] + $files + (.packages | map(.SPDXID))) as $ids |
       ([.hasExtractedLicensingInfos[]?.licenseId]) as $refs |
       ($files - $held == []) and
       ([.relationships[] | .spdxElementId, .relatedSpdxElement] - $ids
          == []) and
       ([.packages[].licenseDeclared // "" |
          scan("LicenseRef-[A-Za-z0-9.-]+")] - $refs == [])' "$doc" \
  > /dev/null || fail "relationships or licences name unknown elements"

# What a program or library links: a Linux one, with NEEDED entries, loads
# glibc; a Windows one, with imports, holds the mingw-w64 runtime and libgcc.
# A file that readelf or objdump cannot read (or a tool that is missing)
# fails, rather than counting as one that links nothing.
(cd "$root" && find . -type f | LC_ALL=C sort | while read -r f; do
   case $(head -c 4 "$f" | od -An -tx1 | tr -d ' \n') in
     7f454c46)
       if ! out=$(readelf -d "$f" 2>&1); then
         echo "readelf -d cannot read $f: $out" >> "$work/unread"
       elif printf '%s\n' "$out" | grep -q '(NEEDED)'; then
         echo "$f DYNAMIC_LINK glibc"
       fi ;;
     4d5a*)
       if ! out=$(objdump -p "$f" 2>&1); then
         echo "objdump -p cannot read $f: $out" >> "$work/unread"
       elif printf '%s\n' "$out" | grep -q 'DLL Name:'; then
         printf '%s STATIC_LINK %s\n' "$f" mingw-w64-crt "$f" libgcc
       fi ;;
   esac
 done) > "$work/links.need"
[ ! -s "$work/unread" ] || fail "$(cat "$work/unread")"
jq -r '(.packages | map({(.SPDXID): .name}) | add) as $pkg |
       (.files | map({(.SPDXID): .fileName}) | add) as $file |
       .relationships[] | select($file[.spdxElementId] and
         $pkg[.relatedSpdxElement]) |
       [$file[.spdxElementId], .relationshipType,
        $pkg[.relatedSpdxElement]] | join(" ")' "$doc" |
  sort -u > "$work/links.named"
missing=$(sort -u "$work/links.need" | comm -23 - "$work/links.named")
[ -z "$missing" ] || fail "not named: $missing"
jq -r '.packages[] | select(.externalRefs) | .versionInfo + " " +
       (.externalRefs[] | select(.referenceType == "purl") |
        .referenceLocator)' "$doc" |
  while read -r got purl; do
    deb=$(echo "$purl" | sed -E 's|^pkg:deb/debian/([^@]+)@.*arch=(.*)$|\1:\2|
                                  s|:all$||; s|%2B|+|g')
    have=$(dpkg-query -W -f '${Version}' "$deb" 2> /dev/null)
    [ "$got" = "$have" ] || echo "$deb: $got, dpkg has $have"
  done > "$work/versions"
[ ! -s "$work/versions" ] || fail "$(cat "$work/versions")"
exit $status
