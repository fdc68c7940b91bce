#!/usr/bin/env bash
# CI stage: the print-queue backend in a real print system. Starts a cupsd of its own (its own
# folders, a loopback port), adds a queue on the kuvrion backend that delivers to a port-9100 sink
# on loopback (kuvrion-cli listen), prints a sample with `lp -o raw` and checks that the sink
# received exactly the bytes of `kuvrion-cli export` of it; then prints a PDF and checks that it is
# cancelled with its reason and never reaches the sink. Uses the build in LINUX_BUILD_DIR (default
# build-ci). Names what failed, with the end of cupsd's log; stops every process it started. Needs
# root (cupsd).
source "$(dirname "$0")/../common.sh"
cd "$(dirname "$0")/../.."
build=$(realpath -m "${LINUX_BUILD_DIR:-build-ci}")
samples=$PWD/samples
[[ -x $build/bin/kuvrion-cli && -x $build/bin/kuvrion-backend ]] ||
    fail "no kuvrion-cli and kuvrion-backend in $build/bin (run scripts/ci/build-and-test.sh first)"
bash scripts/install-deps.sh cups-daemon cups-client cups >/dev/null

echo "== Print queue: cupsd with the kuvrion backend"
work=$(mktemp -d)
chmod 755 "$work"
pids=()
cleanup() {
    local pid
    for pid in "${pids[@]}"; do
        kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
    done
    rm -rf "$work"
}
at_exit cleanup
# A failure here shows the end of cupsd's log as well.
cups_fail() {
    echo "-- cupsd error_log (end):" >&2
    tail -n 40 "$work/log/error_log" >&2 2>/dev/null || true
    fail "print queue: $*"
}
# Polls `$1` (a command) once a tenth of a second for up to $2 seconds.
wait_for() {
    local deadline=$((SECONDS + $2))
    until eval "$1"; do
        ((SECONDS < deadline)) || return 1
        sleep 0.1
    done
}
free_port() {
    local port
    for _ in $(seq 50); do
        port=$((20000 + RANDOM % 30000))
        if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
            echo "$port"
            return
        fi
    done
    return 1
}

# The sink: a raw port on loopback that spools whatever it receives.
mkdir -p "$work/sink"
"$build/bin/kuvrion-cli" listen --port 0 --spool "$work/sink" 2>"$work/sink.log" &
pids+=($!)
wait_for 'grep -qs "Druckport" "$work/sink.log"' 10 || cups_fail "the sink did not start: $(cat "$work/sink.log")"
sink=$(sed -n 's/.*Druckport 127\.0\.0\.1:\([0-9]*\).*/\1/p;T;q' "$work/sink.log")
[[ -n $sink ]] || cups_fail "the sink named no port: $(cat "$work/sink.log")"

# The line of work: the sample's key settings, marked jobs to the sink.
grep -v '^uselog' "$samples/letters-endmarker.ini" >"$work/kuvrion.ini"
printf '[deliver]\r\nto=socket://127.0.0.1:%s\r\n' "$sink" >>"$work/kuvrion.ini"
chmod 644 "$work/kuvrion.ini"

# cupsd with its own folders; the backend folder holds the kuvrion backend, the rest is Debian's.
port=$(free_port) || cups_fail "no free loopback port for cupsd"
mkdir -p "$work"/{etc,log,spool,tmp,cache,state,serverbin/backend}
for d in /usr/lib/cups/*; do
    [[ $(basename "$d") == backend ]] || ln -s "$d" "$work/serverbin/$(basename "$d")"
done
install -m 0755 "$build/bin/kuvrion-backend" "$work/serverbin/backend/kuvrion"
# The backend runs as lp and writes the marked job into the print system's temporary folder.
chown root:lp "$work/tmp"
chmod 1770 "$work/tmp"
cat >"$work/etc/cupsd.conf" <<CONF
Listen 127.0.0.1:$port
LogLevel debug
Browsing No
WebInterface No
DefaultAuthType None
<Location />
  Order allow,deny
  Allow from 127.0.0.1
</Location>
<Policy default>
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
CONF
cat >"$work/etc/cups-files.conf" <<CONF
ServerRoot $work/etc
ServerBin $work/serverbin
DataDir /usr/share/cups
RequestRoot $work/spool
TempDir $work/tmp
CacheDir $work/cache
StateDir $work/state
Printcap $work/printcap
AccessLog $work/log/access_log
ErrorLog $work/log/error_log
PageLog $work/log/page_log
User lp
Group lp
SystemGroup root
CONF
/usr/sbin/cupsd -f -c "$work/etc/cupsd.conf" -s "$work/etc/cups-files.conf" &
pids+=($!)
export CUPS_SERVER=127.0.0.1:$port
wait_for 'lpstat -r >/dev/null 2>&1' 30 || cups_fail "cupsd did not start on 127.0.0.1:$port"
wait_for 'lpadmin -p kuvrion-test -E -v "kuvrion:$work/kuvrion.ini" 2>"$work/lpadmin.log"' 30 ||
    cups_fail "lpadmin could not add the queue on the kuvrion backend: $(cat "$work/lpadmin.log")"

# A sample through the queue: the sink gets exactly what the export writes.
"$build/bin/kuvrion-cli" --ini "$work/kuvrion.ini" export "$samples/letters-endmarker.pcl" \
    "$work/expected.pcl" >/dev/null || cups_fail "kuvrion-cli export of the sample"
lp -d kuvrion-test -o raw "$samples/letters-endmarker.pcl" >/dev/null || cups_fail "lp of the sample"
wait_for 'compgen -G "$work/sink/*.pcl" >/dev/null' 60 || cups_fail "the sample never reached the sink"
received=$(compgen -G "$work/sink/*.pcl") || cups_fail "the sample vanished from the sink"
cmp -s "$received" "$work/expected.pcl" ||
    cups_fail "the sink received other bytes than kuvrion-cli export writes"
echo "sample: $(stat -c %s "$received") bytes at the sink, the same as the export"

# A PDF: cancelled with its reason, nothing at the sink, the queue still takes jobs.
printf '%%PDF-1.7\n1 0 obj << >> endobj\n%%%%EOF\n' >"$work/brief.pdf"
job=$(lp -d kuvrion-test -o raw "$work/brief.pdf") || cups_fail "lp of the PDF"
job=$(sed -n 's/.*is \(kuvrion-test-[0-9]*\).*/\1/p' <<<"$job")
[[ -n $job ]] || cups_fail "lp named no job for the PDF"
wait_for "lpstat -W completed -o kuvrion-test | grep -q '^$job '" 60 ||
    cups_fail "the PDF job $job did not end"
grep -q "kein PCL-5-Druckjob (erkannt: PDF)" "$work/log/error_log" ||
    cups_fail "the PDF's reason is not in the job's messages"
cancelled=$(grep "\[Job ${job##*-}\] Backend returned status 5" "$work/log/error_log") ||
    cups_fail "the PDF job was not cancelled"
at_sink=$(compgen -G "$work/sink/*.pcl" | wc -l)
[[ $at_sink == 1 ]] || cups_fail "the PDF reached the sink ($at_sink jobs there)"
lpstat -p kuvrion-test | grep -q "enabled" || cups_fail "the queue was stopped by a refused job"
echo "PDF: cancelled with its reason, nothing at the sink (${cancelled#* \[})"
echo "CUPS stage passed."
