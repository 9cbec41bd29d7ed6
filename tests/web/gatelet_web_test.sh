#!/bin/bash
# The CGI gateway behind a real web server on 127.0.0.1, which runs gatelet_g
# for each request with a recording stand-in for the interpreter "java" on
# the PATH it gives its CGI programs: lighttpd with mod_cgi, or Apache httpd
# 2.4 with its event MPM and mod_cgid (Debian's default), which writes the
# request body while the program runs. Real HTTP requests (curl) check what
# the interpreter receives: its arguments, the request variables as sent, and
# request bodies byte for byte; the error response when no interpreter is
# found, with and without a request body; and a bounded burst of concurrent
# requests. Usage: gatelet_web_test.sh BIN_DIR WORK_DIR [lighttpd|apache].
# Exit 77 = skipped.
set -u
bin=$1
work=$2
kind=${3:-lighttpd}
skip() { echo "SKIPPED: $*"; exit 77; }
case $kind in
  lighttpd)
    server=$(command -v lighttpd || ls /usr/sbin/lighttpd 2> /dev/null)
    [ -n "$server" ] ||
      skip "lighttpd is not installed (Debian package lighttpd)" ;;
  apache)
    server=$(command -v apache2 || ls /usr/sbin/apache2 2> /dev/null)
    modules=/usr/lib/apache2/modules
    [ -n "$server" ] && [ -f "$modules/mod_cgid.so" ] ||
      skip "apache2 is not installed (Debian package apache2)" ;;
  *) echo "unknown server $kind"; exit 1 ;;
esac
command -v curl > /dev/null || skip "curl is not installed"
[ -x "$bin/gatelet_g" ] && [ -x "$bin/java_stub" ] || {
  echo "gatelet_g or java_stub missing in $bin"; exit 1; }

rm -rf "$work"
mkdir -p "$work"
work=$(cd "$work" && pwd)
# Apache will not run CGI programs as root: started as root, it runs them as
# nobody, which must reach the served files; they then live in a folder of
# their own under /tmp, removed at the end.
user=
temp=
if [ "$kind" = apache ] && [ "$(id -u)" = 0 ]; then
  user=nobody
  if ! runuser -u "$user" -- test -x "$work" 2> /dev/null; then
    temp=$(mktemp -d /tmp/gatelet-web.XXXXXX) && chmod 755 "$temp" || exit 1
    work=$temp
  fi
fi
mkdir -p "$work/root/cgi-bin" "$work/root/nojava" "$work/interp" "$work/out" \
  "$work/run"
cp "$bin/gatelet_g" "$work/root/cgi-bin/gatelet_g"
cp "$bin/gatelet_g" "$work/root/nojava/gatelet_g"
cp "$bin/java_stub" "$work/interp/java"

passed=0
failed=0
check() {  # check NAME COMMAND...: one case, counted
  if "${@:2}"; then
    passed=$((passed + 1))
  else
    failed=$((failed + 1))
    echo "FAILED: $1"
  fi
}

pid=
stop_server() {
  if [ -n "$pid" ]; then
    kill "$pid" 2> /dev/null
    for _ in $(seq 50); do
      kill -0 "$pid" 2> /dev/null || break
      sleep 0.1
    done
    kill -9 "$pid" 2> /dev/null
    wait "$pid" 2> /dev/null
    pid=
  fi
}
finish() {
  stop_server
  [ -z "$temp" ] || rm -rf "$temp"
}
trap finish EXIT

write_lighttpd_conf() {
  cat > "$work/server.conf" << CONF
server.modules = ("mod_setenv", "mod_cgi")
server.document-root = "$work/root"
server.bind = "127.0.0.1"
server.port = $port
server.errorlog = "$work/error.log"
server.max-request-size = 4096
# Request data reaches the gateway as the client sent it, not normalised.
server.http-parseopts = ("url-normalize" => "disable")
setenv.set-environment = ("PATH" => "$work/interp", "JAVA_STUB_ANSWER" => "1")
\$HTTP["url"] =~ "^/nojava/" {
  setenv.set-environment = ("PATH" => "$work/empty")
}
cgi.assign = ("/gatelet_g" => "")
CONF
  "$server" -D -f "$work/server.conf" > "$work/server.out" 2>&1 &
  pid=$!
}

write_apache_conf() {
  local m
  {
    echo "ServerRoot \"$work\""
    for m in mpm_event authz_core alias env cgid; do
      echo "LoadModule ${m}_module $modules/mod_$m.so"
    done
    [ -z "$user" ] || echo "User $user
Group $(id -gn "$user")"
    cat << CONF
DefaultRuntimeDir "$work/run"
PidFile "$work/run/httpd.pid"
ScriptSock "$work/run/cgid.sock"
Mutex file:$work/run default
Listen 127.0.0.1:$port
ServerName 127.0.0.1
ServerTokens Prod
ErrorLog "$work/error.log"
LimitRequestBody 4194304
DocumentRoot "$work/root"
<Directory "$work/root">
  Require all granted
</Directory>
ScriptAlias /cgi-bin/ "$work/root/cgi-bin/"
ScriptAlias /nojava/ "$work/root/nojava/"
SetEnv PATH "$work/interp"
SetEnv JAVA_STUB_ANSWER 1
<Location "/nojava/">
  SetEnv PATH "$work/empty"
</Location>
CONF
  } > "$work/server.conf"
  "$server" -d "$work" -f "$work/server.conf" -D FOREGROUND \
    > "$work/server.out" 2>&1 &
  pid=$!
}

# Starts the server on a free loopback port; a few tries, in case another
# program takes the port first.
start_server() {
  for _ in 1 2 3 4 5 6 7 8; do
    port=$((20000 + RANDOM % 30000))
    "write_${kind}_conf"
    for _ in $(seq 50); do
      if curl -s -o /dev/null "http://127.0.0.1:$port/"; then
        return 0
      fi
      kill -0 "$pid" 2> /dev/null || break
      sleep 0.1
    done
    stop_server
  done
  echo "$kind did not start:"; cat "$work/server.out" "$work/error.log"
  exit 1
}
start_server
base="http://127.0.0.1:$port"
echo "$kind on 127.0.0.1:$port"

# What the interpreter must receive for a request, as the stand-in records
# it: METHOD TARGET_PATH PATH_INFO QUERY CONTENT_LENGTH CONTENT_TYPE ACCEPT.
# Each argument is a value as the trace writes one: in double quotes, '"' and
# '\' after a backslash, bytes outside printable ASCII as \xHH.
expected() {
  local method=$1 script=$2 info=$3 query=$4 length=$5 type=$6 accept=$7
  local translated=
  [ -n "$info" ] && translated="$work/root$info"
  printf 'vector count=20\n'
  perl -e 'for (@ARGV) { s/(["\\])/\\$1/g; s/([^ -~])/sprintf("\\x%02X", ord $1)/ge;
    print "arg \"$_\"\n" }' -- \
    java -DAUTH_TYPE= "-DCONTENT_LENGTH=$length" "-DCONTENT_TYPE=$type" \
    -DGATEWAY_INTERFACE=CGI/1.1 "-DHTTP_ACCEPT=$accept" "-DPATH_INFO=$info" \
    "-DPATH_TRANSLATED=$translated" "-DQUERY_STRING=$query" \
    -DREMOTE_ADDR=127.0.0.1 -DREMOTE_HOST= -DREMOTE_IDENT= -DREMOTE_USER= \
    "-DREQUEST_METHOD=$method" "-DSCRIPT_NAME=$script" \
    -DSERVER_NAME=127.0.0.1 "-DSERVER_PORT=$port" -DSERVER_PROTOCOL=HTTP/1.1 \
    "-DSERVER_SOFTWARE=$software" sun.rmi.transport.proxy.CGIHandler
  echo
}

# What differs between the servers: their name, and the CONTENT_LENGTH of a
# request without a body (lighttpd passes 0, Apache leaves it unset).
if [ "$kind" = lighttpd ]; then
  software=$("$server" -v | sed -n 's/^\(lighttpd\/[0-9.]*\).*/\1/p')
  no_body_length=0
else
  software=Apache
  no_body_length=
fi

# Checks an answer: status 200, the record as expected, then the body sent.
# answer_ok ANSWER_FILE STATUS EXPECTED_RECORD_FILE BODY_FILE
answer_ok() {
  local size
  [ "$2" = 200 ] || { echo "status $2"; return 1; }
  size=$(wc -c < "$3")
  head -c "$size" "$1" | cmp -s - "$3" || {
    head -c "$size" "$1" | diff "$3" - | head -20
    return 1
  }
  tail -c +$((size + 1)) "$1" | cmp -s - "$4" || { echo "body differs"; return 1; }
}

# GET with query strings and a path below the program, sent byte for byte.
: > "$work/empty_body"
while IFS= read -r query; do
  query=$(printf '%b' "$query")
  status=$(curl -s -o "$work/out/get" -w '%{http_code}' \
    -H 'Accept: text/x-test, */*' \
    --request-target "/cgi-bin/gatelet_g/extra/info?$query" "$base/")
  expected GET /cgi-bin/gatelet_g /extra/info "$query" "$no_body_length" "" \
    'text/x-test, */*' > "$work/want"
  check "GET ?$query" answer_ok "$work/out/get" "$status" "$work/want" \
    "$work/empty_body"
done << 'QUERIES'
a=1&b=2

q="+-cp+evil.jar+sun.Evil+"
x=\\"+-Dy=1+\\\\
a=%22b%22&c=%5C&d='<>|^&*?`$(id)`
u=\xe8\xa1\xa8\x95\x5c\x95\x5c"+-cp+evil+"
QUERIES

# POST bodies of 0 bytes and 1 MiB reach the interpreter intact.
head -c 1048576 /dev/urandom > "$work/big_body"
for body in empty_body big_body; do
  size=$(wc -c < "$work/$body")
  status=$(curl -s -o "$work/out/post" -w '%{http_code}' \
    -H 'Content-Type: application/octet-stream' -H 'Accept:' \
    --data-binary "@$work/$body" "$base/cgi-bin/gatelet_g?post")
  expected POST /cgi-bin/gatelet_g "" post "$size" \
    application/octet-stream "" > "$work/want"
  check "POST $size bytes" answer_ok "$work/out/post" "$status" "$work/want" \
    "$work/$body"
done

# No interpreter on the PATH: the gateway's error response, as a status 500
# with the exact body; with a request body too, which the gateway reads and
# drops first, or a server that writes it while the program runs may lose the
# answer. error_ok [BODY_FILE]
error_ok() {
  local status
  rm -f "$work/out/headers" "$work/out/error"
  status=$(curl -s -D "$work/out/headers" -o "$work/out/error" \
    -w '%{http_code}' ${1:+-H 'Content-Type: application/octet-stream'} \
    ${1:+--data-binary "@$1"} "$base/nojava/gatelet_g?a=1")
  [ "$status" = 500 ] &&
    grep -qi '^Content-type: text/plain' "$work/out/headers" &&
    [ "$(cat "$work/out/error")" = "interpreter execution failure" ] &&
    [ "$(wc -c < "$work/out/error")" -eq 29 ] ||
    { echo "status $status, $(cat "$work/out/error" 2> /dev/null | wc -c) bytes"
      return 1; }
}
check "no interpreter: status 500 and the exact body" error_ok
for try in $(seq 10); do
  check "no interpreter, POST of 1 MiB, try $try" error_ok "$work/big_body"
done
for size in 16384 40000 65536; do
  head -c "$size" "$work/big_body" > "$work/small_body"
  for try in 1 2 3; do
    check "no interpreter, POST of $size bytes, try $try" error_ok \
      "$work/small_body"
  done
done

# A bounded burst: 320 requests, 12 at a time, each answered with its own
# request's data.
burst=320
burst_ok() {
  local i bad=0
  for i in $(seq "$burst"); do
    printf 'url = "%s/cgi-bin/gatelet_g?id=%d"\noutput = "%s/out/b%d"\n' \
      "$base" "$i" "$work" "$i"
  done > "$work/burst.cfg"
  curl -s --no-progress-meter --parallel --parallel-max 12 \
    -K "$work/burst.cfg" -w '%{http_code}\n' > "$work/burst.status" \
    2> "$work/burst.err"
  [ "$(grep -c '^200$' "$work/burst.status")" -eq "$burst" ] ||
    { echo "$(grep -vc '^200$' "$work/burst.status") answers not 200"; bad=1; }
  for i in $(seq "$burst"); do
    grep -qx -- "arg \"-DQUERY_STRING=id=$i\"" "$work/out/b$i" 2> /dev/null ||
      { echo "answer $i does not match its request"; bad=1; break; }
  done
  return $bad
}
check "burst of $burst requests, 12 at a time" burst_ok

# Nothing started for the requests outlives them: no process runs from the
# test's folder once the server is stopped.
stop_server
leftovers() {
  local p exe found=0
  for p in /proc/[0-9]*; do
    exe=$(readlink "$p/exe" 2> /dev/null) || continue
    case $exe in "$work"/*) echo "left behind: ${p#/proc/} $exe"; found=1 ;; esac
  done
  return $found
}
check "no process left behind" leftovers

echo "gatelet behind $kind: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
