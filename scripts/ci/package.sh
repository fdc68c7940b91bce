#!/usr/bin/env bash
# CI stage: the Debian package. Builds kuvrion_<version>_amd64.deb from the build in LINUX_BUILD_DIR
# (default build-ci), installs it with apt-get, runs /usr/bin/kuvrion-cli on a sample, starts the
# desktop program offscreen once (its settings must land in ~/.config/Kuvrion) and removes the
# package again. Non-zero on any failure, naming it.
source "$(dirname "$0")/../common.sh"
cd "$(dirname "$0")/../.."
build=$(realpath -m "${LINUX_BUILD_DIR:-build-ci}")
[[ -x $build/bin/kuvrion-cli ]] || fail "no build in $build (run scripts/ci/build-and-test.sh first)"
start=$SECONDS

echo "== Package: kuvrion_*.deb"
rm -f "$build"/kuvrion_*_amd64.deb
if ! (cd "$build" && cpack -G DEB >cpack.log 2>&1); then
    tail -n 20 "$build/cpack.log" >&2
    fail "cpack could not build the .deb (whole log: $build/cpack.log)"
fi
shopt -s nullglob
debs=("$build"/kuvrion_*_amd64.deb)
shopt -u nullglob
((${#debs[@]} == 1)) || fail "expected one kuvrion_*_amd64.deb in $build, found ${#debs[@]}"
deb=${debs[0]}
echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"

export DEBIAN_FRONTEND=noninteractive
work=$(mktemp -d)
at_exit 'apt-get purge -y -qq kuvrion >/dev/null 2>&1 || true; rm -rf "$work"'
apt-get install -y -qq --no-install-recommends "$deb" >"$work/apt.log" 2>&1 ||
    fail "apt-get could not install $(basename "$deb"): $(tail -n 5 "$work/apt.log")"

expected=(
    /usr/bin/kuvrion /usr/bin/kuvrion-cli /usr/lib/cups/backend/kuvrion
    /usr/share/applications/kuvrion.desktop
    /usr/share/icons/hicolor/scalable/apps/kuvrion.svg
    /usr/share/metainfo/de.kuvrion.Kuvrion.metainfo.xml
)
[[ -f "$build/bin/doc/Kuvrion.pdf" ]] && expected+=(/usr/share/doc/kuvrion/Kuvrion.pdf)
# CUPS runs a backend of mode 0755 as its unprivileged user.
mode=$(stat -c %a /usr/lib/cups/backend/kuvrion) || fail "the backend is not installed"
[[ $mode == 755 ]] || fail "the backend has mode $mode, not 0755"
for f in "${expected[@]}"; do
    [[ -f "$f" ]] || fail "not installed: $f"
done
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net /usr/share/metainfo/de.kuvrion.Kuvrion.metainfo.xml ||
        fail "the installed metainfo does not validate (appstreamcli above)"
fi

# The installed tool writes the same export as the build.
cp samples/letters-endmarker.pcl samples/letters-endmarker.ini "$work/"
/usr/bin/kuvrion-cli --ini "$work/letters-endmarker.ini" export "$work/letters-endmarker.pcl" \
    "$work/installed.pcl" >/dev/null || fail "/usr/bin/kuvrion-cli export of the sample failed"
"$build/bin/kuvrion-cli" --ini "$work/letters-endmarker.ini" export "$work/letters-endmarker.pcl" \
    "$work/built.pcl" >/dev/null || fail "$build/bin/kuvrion-cli export of the sample failed"
cmp "$work/installed.pcl" "$work/built.pcl" ||
    fail "/usr/bin/kuvrion-cli writes another export than the build"
echo "/usr/bin/kuvrion-cli: export as built"

# The desktop program, offscreen, with a job: choosing the job stores it in the settings, which
# must land in ~/.config/Kuvrion (a program under /usr keeps none beside itself). It runs until
# it is stopped; it counts as started when the settings appeared and it still runs.
home="$work/home"
mkdir -p "$home"
settings="$home/.config/Kuvrion/kuvrion.ini"
env -u XDG_CONFIG_HOME HOME="$home" QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work" \
    /usr/bin/kuvrion "$work/letters-endmarker.pcl" >"$work/gui.log" 2>&1 &
gui=$!
for _ in $(seq 100); do
    [[ -f "$settings" ]] && break
    kill -0 "$gui" 2>/dev/null || break
    sleep 0.2
done
running=0
kill -0 "$gui" 2>/dev/null && running=1
kill "$gui" 2>/dev/null || true
wait "$gui" 2>/dev/null || true
if ((!running)) || ! grep -q "letters-endmarker.pcl" "$settings" 2>/dev/null; then
    cat "$work/gui.log" >&2
    fail "/usr/bin/kuvrion did not start or kept no settings in ~/.config/Kuvrion (its output above)"
fi
echo "/usr/bin/kuvrion: started, settings in ~/.config/Kuvrion/kuvrion.ini"

apt-get purge -y -qq kuvrion >/dev/null || fail "apt-get could not remove the package"
[[ ! -e /usr/bin/kuvrion ]] || fail "the package did not go away"
echo "== Package stage: $((SECONDS - start)) s"
