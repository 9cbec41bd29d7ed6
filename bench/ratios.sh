#!/usr/bin/env bash
# Instruction counts of the launchers against bare programs that do only what
# each launcher must do, as callgrind counts them (repeatable, unlike time).
# Prints one ratio a line, with "over goal" beside a ratio above its goal,
# and exits 0 whatever the figures. Builds the bench preset first.
#
#   bench/ratios.sh
#
# RATIOS_NO_BUILD=1 skips the build and takes the programs in build/bench/bin.
set -u

root=$(cd "$(dirname "$0")/.." && pwd)
bin="$root/build/bench/bin"
valgrind=$(command -v valgrind || true)

if [ -z "$valgrind" ]; then
  echo "ratios: valgrind is not installed (apt-get install valgrind)" >&2
  exit 1
fi
if [ "${RATIOS_NO_BUILD:-0}" != 1 ]; then
  (cd "$root" &&
    { [ -f build/bench/CMakeCache.txt ] || cmake --preset bench >/dev/null; } &&
    cmake --build --preset bench >/dev/null) || {
    echo "ratios: the bench build failed; run" \
      "cmake --preset bench && cmake --build --preset bench" >&2
    exit 1
  }
fi
for program in kestrel quillan_g gatelet_g libtavcore.so.0 ratio_bare_vm \
  ratio_bare_exec ratio_bare_putenv ratio_tav_apply ratio_split_once \
  ratio_java; do
  if [ ! -e "$bin/$program" ]; then
    echo "ratios: $bin/$program is missing; run" \
      "cmake --preset bench && cmake --build --preset bench" >&2
    exit 1
  fi
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/ratios.XXXXXX")
trap 'rm -rf "$tmp"' EXIT

# Every run, measured or checked, starts from this small environment, so
# that the programs and their bare counterparts meet the same variables.
mkdir -p "$tmp/path"
cp "$bin/ratio_java" "$tmp/path/java"
base_env=(PATH="$tmp/path:/usr/bin:/bin" JAVAI_G_RECORD=/dev/null)

# Runs a command, given as NAME=VALUE words, "--" and the command, in the
# base environment with those variables added; output goes to $tmp/out.
run() {
  local vars=()
  while [ "$1" != "--" ]; do
    vars+=("$1")
    shift
  done
  shift
  env -i "${base_env[@]}" "${vars[@]}" "$@" >"$tmp/out" 2>/dev/null </dev/null
}

# Prints the instructions that a run executes, as "run" takes it. A run that
# ends in exec is counted up to the execvp call.
count() {
  local vars=()
  while [ "$1" != "--" ]; do
    vars+=("$1")
    shift
  done
  shift
  rm -f "$tmp"/callgrind.out*
  env -i "${base_env[@]}" "${vars[@]}" "$valgrind" --tool=callgrind \
    --dump-before=execvp --callgrind-out-file="$tmp/callgrind.out" "$@" \
    >/dev/null 2>"$tmp/valgrind.log" </dev/null
  cat "$tmp"/callgrind.out* | awk '/^totals:/ { n += $2 } END { printf "%.0f\n", n }'
}

# Prints the instructions of the last counted run that the dynamic loader's
# own code executed: mapping the libraries, relocating, and binding every
# import at start (the programs are linked with -z now).
loader_part() {
  awk '
    # Object names are compressed: "(n) name" the first time, in ob= or
    # cob= lines alike, "(n)" after.
    /^c?ob=/ {
      field = substr($0, index($0, "=") + 1)
      name = field
      if (match(field, /^\([0-9]+\)/)) {
        id = FILENAME substr(field, 1, RLENGTH)
        if (length(field) > RLENGTH) names[id] = substr(field, RLENGTH + 2)
        name = names[id]
      }
      if ($0 ~ /^ob=/) ob = name
      next
    }
    # The line after calls= is the cost of a call, counted in its callee.
    /^calls=/ { skip = 1; next }
    /^[0-9+*-]/ {
      if (!skip && ob ~ /\/ld-linux[^\/]*$/) n += $2
      skip = 0
    }
    END { printf "%.0f\n", n }' "$tmp"/callgrind.out*
}

# Counts a run, given as "count" takes it, into the variable named first,
# and the dynamic loader's part of it into that name with "_ld" added.
measure() {
  local var=$1
  shift
  printf -v "$var" %s "$(count "$@")"
  printf -v "${var}_ld" %s "$(loader_part)"
}

# Prints "name: program N instr, bare M instr, ratio R (goal <= G)"; given
# the dynamic loader's parts of both runs as well, adds them and the ratio
# that the program would have if its loader's part were the bare one's.
ratio() {
  awk -v name="$1" -v p="$2" -v b="$3" -v g="$4" -v pl="${5:-}" -v bl="${6:-}" 'BEGIN {
    r = b > 0 ? p / b : 0
    printf "%s: program %.0f instr, bare %.0f instr, ratio %.3f (goal <= %.2f)%s\n",
      name, p, b, r, g, (r > g || b == 0) ? " over goal" : ""
    if (pl != "" && b > 0)
      printf "  of which the dynamic loader: program %.0f, bare %.0f; with the bare loader part, ratio %.3f\n",
        pl, bl, (p - pl + bl) / b
  }'
}

mismatches=0
# Runs a program and its bare counterpart, given after RECORD and LABEL (each
# "vars -- command", split by "+++"), and compares what they leave in
# $tmp/RECORD: the record of the VM or interpreter, else their output.
same() {
  local record="$1" label="$2" first=()
  shift 2
  while [ "$1" != "+++" ]; do
    first+=("$1")
    shift
  done
  shift
  rm -f "$tmp/$record" "$tmp/$record.program"
  run "${first[@]}"
  [ -s "$tmp/$record" ] || cp "$tmp/out" "$tmp/$record"
  mv "$tmp/$record" "$tmp/$record.program"
  run "$@"
  [ -s "$tmp/$record" ] || cp "$tmp/out" "$tmp/$record"
  if [ ! -s "$tmp/$record.program" ] ||
    ! cmp -s "$tmp/$record" "$tmp/$record.program"; then
    echo "$label: the bare run differs from the program's; the ratio compares unlike runs"
    mismatches=$((mismatches + 1))
  fi
}

echo "Instruction counts by callgrind ($("$valgrind" --version)), $(uname -sm)," \
  "build/bench (Release)"

# 1. The loader with a short argument list. Without -name the class names
# the application.
agent=norvane.tools.debug.Agent
name_key=-Dnorvane.plume.remote.vm.name
simple=(kestrel -debug "$name_key=Hello" "$agent" Hello world)
same kestrel.rec "kestrel simple" JAVAI_G_RECORD="$tmp/kestrel.rec" -- \
  "$bin/kestrel" Hello world +++ JAVAI_G_RECORD="$tmp/kestrel.rec" -- \
  "$bin/ratio_bare_vm" -- "${simple[@]}"
measure k_simple -- "$bin/kestrel" Hello world
measure b_simple -- "$bin/ratio_bare_vm" -- "${simple[@]}"
ratio "kestrel simple" "$k_simple" "$b_simple" 1.10 "$k_simple_ld" "$b_simple_ld"

# 2. A response file of about 60 KB: options, the class, then its
# arguments, some quoted with blanks and some with quotes inside. The file
# text and the words the splitter must make of it are built side by side.
options=()
arguments=()
text=""
line=0
# Adds one word: its form in the file and the word it stands for.
add_word() {
  text+="$1"
  line=$((line + 1))
  if [ $((line % 5)) -eq 0 ]; then
    text+=$'\n'
  else
    text+=" "
  fi
}
i=0
while [ ${#text} -lt 24000 ]; do
  case $((i % 6)) in
    0)
      add_word "-Dnorvane.module.$i.home=/opt/norvane/modules/m$i"
      options+=("-Dnorvane.module.$i.home=/opt/norvane/modules/m$i") ;;
    1)
      add_word "\"-Dnorvane.module.$i.title=Report Module $i\""
      options+=("-Dnorvane.module.$i.title=Report Module $i") ;;
    2)
      add_word "-Dnorvane.module.$i.dir=\"C:\\Program Files\\Norvane\\modules\\m$i\""
      options+=("-Dnorvane.module.$i.dir=C:\\Program Files\\Norvane\\modules\\m$i") ;;
    3)
      add_word "-Dnorvane.log.$i.pattern=level=info,file=app$i.log"
      options+=("-Dnorvane.log.$i.pattern=level=info,file=app$i.log") ;;
    4)
      add_word "-classpath"
      add_word "\"/opt/Norvane Studio/lib/tools.jar:/opt/Norvane Studio/lib/m$i.jar\""
      options+=(-classpath "/opt/Norvane Studio/lib/tools.jar:/opt/Norvane Studio/lib/m$i.jar") ;;
    5)
      add_word "-mx256m"
      add_word "-verbosegc"
      options+=(-mx256m -verbosegc) ;;
  esac
  i=$((i + 1))
done
class=norvane.samples.ReportBuilder
add_word "$class"
while [ ${#text} -lt 61440 ]; do
  case $((i % 5)) in
    0)
      add_word "/home/ana/projects/report$i/src/Main$i.java"
      arguments+=("/home/ana/projects/report$i/src/Main$i.java") ;;
    1)
      add_word "\"Quarterly report $i.txt\""
      arguments+=("Quarterly report $i.txt") ;;
    2)
      add_word "--title=\"He said \\\"ship it\\\" on day $i\""
      arguments+=("--title=He said \"ship it\" on day $i") ;;
    3)
      add_word "--verbose"
      arguments+=(--verbose) ;;
    4)
      add_word "-o"
      add_word "out$i.csv"
      arguments+=(-o "out$i.csv") ;;
  esac
  i=$((i + 1))
done
printf '%s' "$text" >"$tmp/resp.txt"
bytes=$(wc -c <"$tmp/resp.txt")
expanded=(kestrel -debug "$name_key=$class" "${options[@]}" "$agent" "$class"
  "${arguments[@]}")
same kestrel.rec "kestrel response file" JAVAI_G_RECORD="$tmp/kestrel.rec" -- \
  "$bin/kestrel" "@$tmp/resp.txt" +++ JAVAI_G_RECORD="$tmp/kestrel.rec" -- \
  "$bin/ratio_bare_vm" -- "${expanded[@]}"
measure k_resp -- "$bin/kestrel" "@$tmp/resp.txt"
measure b_resp -- "$bin/ratio_bare_vm" -- "${expanded[@]}"
ratio "kestrel response file ($bytes bytes, $((${#expanded[@]} - 4)) words)" \
  "$k_resp" "$b_resp" 1.25 "$k_resp_ld" "$b_resp_ld"
split=$(count -- "$bin/ratio_split_once" split "$tmp/resp.txt")
read_only=$(count -- "$bin/ratio_split_once" read "$tmp/resp.txt")
awk -v s="$split" -v r="$read_only" -v n="$bytes" 'BEGIN {
  x = (s - r) / n
  printf "splitter per byte: ldr_split %.0f instr over %d bytes, %.1f instr/byte (goal <= 30)%s\n",
    s - r, n, x, (x > 30 ? " over goal" : "")
}'
awk -v s="$k_resp" -v r="$k_simple" -v n="$bytes" 'BEGIN {
  printf "loader per byte: kestrel @file - kestrel simple = %.0f instr over %d bytes, %.1f instr/byte\n",
    s - r, n, (s - r) / n
}'

# 3. tavcore with a settings file of plain assignments, distinct names. The
# program lies two folders below the settings folder "bin", beside its own
# copy of the library.
mkdir -p "$tmp/tav/app/bin" "$tmp/tav/bin"
cp "$bin/ratio_tav_apply" "$bin/libtavcore.so.0" "$tmp/tav/app/bin/"
for lines in 10000 1000; do
  awk -v n="$lines" 'BEGIN {
    split("APP BUILD CACHE DATA EDITOR FONT GRAPH HELP INDEX JOB KEY LOG " \
          "MAIL NET OUTPUT PLUGIN QUEUE REPORT SCRIPT TEMP UPDATE VIEW WORK", p)
    split("HOME DIR PATH OPTS LEVEL URL", k)
    for (i = 1; i <= n; i++) {
      a = p[(i - 1) % 23 + 1]
      b = k[int((i - 1) / 23) % 6 + 1]
      printf "%s_%s_%05d=/opt/norvane/%s/%s/item%05d\n", a, b, i, tolower(a),
        tolower(b), i
    }
  }' >"$tmp/assignments"
  { echo "[Environment]"; cat "$tmp/assignments"; } >"$tmp/tav/bin/vorel.ini"
  same env.txt "tavcore $lines lines" -- "$tmp/tav/app/bin/ratio_tav_apply" \
    -print +++ -- "$bin/ratio_bare_putenv" "$tmp/assignments" -print
  t=$(count -- "$tmp/tav/app/bin/ratio_tav_apply")
  b=$(count -- "$bin/ratio_bare_putenv" "$tmp/assignments")
  ratio "tavcore $lines lines" "$t" "$b" 1.30
done

# 4. The CGI gateway up to its exec of the interpreter found on PATH. The
# variables and their order are the gateway's.
cgi_env=(REQUEST_METHOD=POST CONTENT_LENGTH=342
  CONTENT_TYPE=application/octet-stream GATEWAY_INTERFACE=CGI/1.1
  HTTP_ACCEPT="text/html, image/gif, image/jpeg, *; q=.2, */*; q=.2"
  PATH_INFO=/http-cgi QUERY_STRING="forward=2001"
  REMOTE_ADDR=192.0.2.17 REMOTE_HOST=client17.example.net
  SCRIPT_NAME=/cgi-bin/gatelet_g SERVER_NAME=www.example.net SERVER_PORT=80
  SERVER_PROTOCOL=HTTP/1.1 SERVER_SOFTWARE=Apache/2.4)
variables=(AUTH_TYPE CONTENT_LENGTH CONTENT_TYPE GATEWAY_INTERFACE HTTP_ACCEPT
  PATH_INFO PATH_TRANSLATED QUERY_STRING REMOTE_ADDR REMOTE_HOST REMOTE_IDENT
  REMOTE_USER REQUEST_METHOD SCRIPT_NAME SERVER_NAME SERVER_PORT
  SERVER_PROTOCOL SERVER_SOFTWARE)
gateway=(java)
for variable in "${variables[@]}"; do
  value=""
  for assignment in "${cgi_env[@]}"; do
    if [ "${assignment%%=*}" = "$variable" ]; then
      value=${assignment#*=}
    fi
  done
  gateway+=("-D$variable=$value")
done
gateway+=(sun.rmi.transport.proxy.CGIHandler)
same java.rec "gatelet_g" "${cgi_env[@]}" JAVA_STUB_RECORD="$tmp/java.rec" -- \
  "$bin/gatelet_g" +++ "${cgi_env[@]}" JAVA_STUB_RECORD="$tmp/java.rec" -- \
  "$bin/ratio_bare_exec" "${gateway[@]}"
measure g "${cgi_env[@]}" -- "$bin/gatelet_g"
measure b "${cgi_env[@]}" -- "$bin/ratio_bare_exec" "${gateway[@]}"
ratio "gatelet_g" "$g" "$b" 1.20 "$g_ld" "$b_ld"

# 5. The key tool launcher, with JAVA_HOME and CLASSPATH unset: the class
# path and java.home come from its own folder.
dir=$(cd "$bin" && pwd -P)
class_path="CLASSPATH=$dir/../classes:$dir/../lib/classes.zip:$dir/../lib/rt.jar"
keytool=(java_g -ms8m "-Djava.home=$dir/.." -mx32m sun.security.provider.Main
  -list)
same quillan.rec "quillan_g" JAVAI_G_RECORD="$tmp/quillan.rec" \
  JAVAI_G_ENV=CLASSPATH -- "$bin/quillan_g" -list -J-mx32m +++ \
  JAVAI_G_RECORD="$tmp/quillan.rec" JAVAI_G_ENV=CLASSPATH -- \
  "$bin/ratio_bare_vm" "$class_path" -- "${keytool[@]}"
measure q -- "$bin/quillan_g" -list -J-mx32m
measure b -- "$bin/ratio_bare_vm" "$class_path" -- "${keytool[@]}"
ratio "quillan_g" "$q" "$b" 1.10 "$q_ld" "$b_ld"

if [ "$mismatches" -eq 0 ]; then
  echo "checked: each bare run hands on the same vector (and environment) as its program"
fi
echo "Windows: not measured (callgrind cannot measure programs run under Wine)"
exit 0
