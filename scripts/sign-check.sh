#!/bin/sh
# Checks the signing of the Windows packages: makes a throw-away CA and a
# code-signing certificate with openssl (build/sign/), builds the packages of
# win32 (with the MSI) and win64 signed with it, each in a build folder of
# its own (build/<preset>-signed, without tests), and verifies every .exe
# and .dll of the zips and of the MSI, and the MSI itself, against that CA
# with osslsigncode. A file without signature, and a signed file checked
# against another CA, must fail that verification; packaging again gives
# the same bytes. A time stamp comes from an RFC 3161 server on 127.0.0.1
# (openssl ts behind lighttpd) and verifies; with the server gone, signing
# fails and leaves the file as it was.
#
#   scripts/sign-check.sh
#
# Prints one line per check, then "sign-check: N passed, N failed".
set -u
cd "$(dirname "$0")/.."
root=$(pwd)
work=$root/build/sign
log=$work/log
report="sign-check"
. "$root/scripts/check-report.sh"

verify() {
  osslsigncode verify -CAfile "$2" -in "$1" >> "$log" 2>&1
}
# Every .exe and .dll below DIR verifies against the CA (and there is one).
verify_all() {
  find "$1" -name '*.exe' -o -name '*.dll' | sort > "$work/list"
  [ -s "$work/list" ] || return 1
  while read -r file; do
    verify "$file" "$work/ca.pem" || return 1
  done < "$work/list"
}

rm -rf "$work"
mkdir -p "$work"
: > "$log"

# The CA, a signer it issues for code signing, and a CA of no standing.
if ! (cd "$work" &&
      openssl req -x509 -newkey rsa:2048 -nodes -days 30 -keyout ca.key \
        -out ca.pem -subj "/CN=Norvane throw-away test CA" \
        -addext "basicConstraints=critical,CA:TRUE" \
        -addext "keyUsage=critical,keyCertSign,cRLSign" &&
      openssl req -newkey rsa:2048 -nodes -keyout signer.key \
        -out signer.csr -subj "/CN=Norvane test signer" &&
      printf '%s\n' "basicConstraints=CA:FALSE" \
        "keyUsage=critical,digitalSignature" \
        "extendedKeyUsage=codeSigning" > signer.ext &&
      openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key \
        -CAcreateserial -days 30 -extfile signer.ext -out signer.pem &&
      openssl pkcs12 -export -inkey signer.key -in signer.pem \
        -certfile ca.pem -passout pass:throw-away -out signer.p12 &&
      openssl req -newkey rsa:2048 -nodes -keyout tsa.key -out tsa.csr \
        -subj "/CN=Norvane test time-stamp server" &&
      printf '%s\n' "basicConstraints=CA:FALSE" \
        "keyUsage=critical,digitalSignature" \
        "extendedKeyUsage=critical,timeStamping" > tsa.ext &&
      openssl x509 -req -in tsa.csr -CA ca.pem -CAkey ca.key \
        -CAcreateserial -days 30 -extfile tsa.ext -out tsa.pem &&
      openssl req -x509 -newkey rsa:2048 -nodes -days 30 -keyout other.key \
        -out other.pem -subj "/CN=Another CA") >> "$log" 2>&1; then
  bad "throw-away CA and code-signing certificate made"
  finish
fi
export NORVANE_SIGN_PKCS12="$work/signer.p12"
export NORVANE_SIGN_PASSWORD=throw-away
unset NORVANE_SIGN_TIMESTAMP

for preset in win32 win64; do
  build=$root/build/$preset-signed
  packages=$build/packages
  rm -rf "$packages"
  if ! { cmake --preset "$preset" -B "$build" -DBUILD_TESTING=OFF &&
         cmake --build "$build" -j 2 --target package &&
         if [ "$preset" = win32 ]; then
           cmake --build "$build" -j 2 --target msi
         fi; } >> "$log" 2>&1; then
    bad "$preset packages built signed"
    continue
  fi

  # Every program and library of the shipped zips.
  rm -rf "$work/$preset"
  mkdir -p "$work/$preset/zip"
  for zip in "$packages"/*.zip; do
    case $zip in *-debug.zip) continue ;; esac
    (cd "$work/$preset/zip" && cmake -E tar xf "$zip") >> "$log" 2>&1
  done
  if verify_all "$work/$preset/zip"; then
    ok "$preset: every .exe and .dll of the zips verifies against the CA"
  else
    bad "$preset: every .exe and .dll of the zips verifies against the CA"
  fi

  # The MSI and every program and library in its cabinet.
  if [ "$preset" = win32 ]; then
    msi=$(find "$packages" -name '*.msi')
    mkdir "$work/$preset/msi"
    if [ -n "$msi" ] && verify "$msi" "$work/ca.pem" &&
       msiextract -C "$work/$preset/msi" "$msi" > /dev/null 2>> "$log" &&
       verify_all "$work/$preset/msi"; then
      ok "$preset: the MSI and every .exe and .dll in it verify against the CA"
    else
      bad "$preset: the MSI and every .exe and .dll in it verify against the CA"
    fi
  fi

  # The signing time is SOURCE_DATE_EPOCH: signed again, the same bytes.
  mkdir "$work/$preset/first"
  cp "$packages"/*.zip "$packages"/*.msi "$work/$preset/first/" 2> /dev/null
  same=1
  if { cmake --build "$build" -j 2 --target package &&
       if [ "$preset" = win32 ]; then
         cmake --build "$build" -j 2 --target msi
       fi; } >> "$log" 2>&1; then
    for file in "$work/$preset/first"/*; do
      cmp "$file" "$packages/$(basename "$file")" >> "$log" 2>&1 || same=0
    done
  else
    same=0
  fi
  if [ "$same" -eq 1 ]; then
    ok "$preset: packaged again, the signed packages are the same bytes"
  else
    bad "$preset: packaged again, the signed packages are the same bytes"
  fi
done

# The verification can fail: a file whose signature is removed, and a signed
# file against a CA that did not issue its certificate.
file=$(find "$work"/win*/zip -name '*.exe' | sort | head -n 1)
if [ -n "$file" ] &&
   osslsigncode remove-signature -in "$file" -out "$work/unsigned.exe" \
     >> "$log" 2>&1 &&
   ! verify "$work/unsigned.exe" "$work/ca.pem" &&
   ! verify "$file" "$work/other.pem"; then
  ok "an unsigned file, and one checked against another CA, fail verification"
else
  bad "an unsigned file, and one checked against another CA, fail verification"
fi

# The time-stamp server: a CGI program of lighttpd's that answers each
# query with openssl ts, signed by the CA's time-stamp certificate.
tsa=$work/tsa
mkdir -p "$tsa/root"
echo 01 > "$tsa/serial"
cat > "$tsa/ts.cnf" << CONF
[ tsa ]
default_tsa = server
[ server ]
serial = $tsa/serial
signer_cert = $work/tsa.pem
certs = $work/ca.pem
signer_key = $work/tsa.key
signer_digest = sha256
default_policy = 1.2.3.4.1
digests = sha1, sha256, sha384, sha512
accuracy = secs:1
ess_cert_id_alg = sha256
CONF
cat > "$tsa/root/tsa" << CGI
#!/bin/sh
cat > "$tsa/query"
printf 'Content-Type: application/timestamp-reply\r\n\r\n'
exec openssl ts -reply -config "$tsa/ts.cnf" -queryfile "$tsa/query" 2>> "$log"
CGI
chmod +x "$tsa/root/tsa"
server=
for _ in 1 2 3 4 5; do
  port=$((20000 + $(od -An -tu2 -N2 /dev/urandom) % 30000))
  cat > "$tsa/server.conf" << CONF
server.modules = ("mod_cgi")
server.document-root = "$tsa/root"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$tsa/error.log"
cgi.assign = ("/tsa" => "")
CONF
  lighttpd -D -f "$tsa/server.conf" >> "$log" 2>&1 &
  server=$!
  for _ in $(seq 50); do
    curl -s -o /dev/null "http://127.0.0.1:$port/" && break 2
    kill -0 "$server" 2> /dev/null || break
    sleep 0.1
  done
  kill "$server" 2> /dev/null
  server=
done
stamped=$work/stamped.exe
sign_stamped() {
  cp "$work/unsigned.exe" "$stamped" &&
    NORVANE_SIGN_TIMESTAMP="http://127.0.0.1:$port/tsa" \
      SOURCE_DATE_EPOCH=1700000000 packaging/prepare-files.sh -s "$stamped"
}
if [ -n "$server" ] && sign_stamped >> "$log" 2>&1 &&
   osslsigncode verify -CAfile "$work/ca.pem" -TSA-CAfile "$work/ca.pem" \
     -in "$stamped" > "$tsa/verify" 2>&1 &&
   grep -q '^Timestamp Server Signature verification: ok' "$tsa/verify"; then
  ok "a file time-stamped by an RFC 3161 server on 127.0.0.1 verifies"
else
  bad "a file time-stamped by an RFC 3161 server on 127.0.0.1 verifies"
fi
cat "$tsa/verify" >> "$log" 2> /dev/null
[ -z "$server" ] || { kill "$server"; wait "$server"; } 2> /dev/null
if ! sign_stamped >> "$log" 2>&1 && cmp -s "$work/unsigned.exe" "$stamped"; then
  ok "with the time-stamp server gone, signing fails and changes nothing"
else
  bad "with the time-stamp server gone, signing fails and changes nothing"
fi
finish
