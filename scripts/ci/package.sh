#!/usr/bin/env bash
# CI stage: the Debian package. Builds kuvrion_<version>_amd64.deb from the build in LINUX_BUILD_DIR
# (default build-ci), installs it with apt-get, runs /usr/bin/kuvrion-cli on a sample, starts the
# desktop program offscreen once (its settings must land in ~/.config/Kuvrion) and removes the
# package again. Non-zero on any failure.
set -euo pipefail
trap 'echo "$0: line $LINENO failed: $BASH_COMMAND" >&2' ERR
cd "$(dirname "$0")/../.."
build=$(realpath "${LINUX_BUILD_DIR:-build-ci}")
start=$SECONDS

echo "== Package: kuvrion_*.deb"
rm -f "$build"/kuvrion_*_amd64.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/kuvrion_*_amd64.deb)
echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"

export DEBIAN_FRONTEND=noninteractive
work=$(mktemp -d)
cleanup() {
    apt-get purge -y -qq kuvrion >/dev/null 2>&1 || true
    rm -rf "$work"
}
trap cleanup EXIT
apt-get install -y -qq --no-install-recommends "$deb" >/dev/null

expected=(
    /usr/bin/kuvrion /usr/bin/kuvrion-cli /usr/lib/cups/backend/kuvrion
    /usr/share/applications/kuvrion.desktop
    /usr/share/icons/hicolor/scalable/apps/kuvrion.svg
    /usr/share/metainfo/de.kuvrion.Kuvrion.metainfo.xml
)
[[ -f "$build/bin/doc/Kuvrion.pdf" ]] && expected+=(/usr/share/doc/kuvrion/Kuvrion.pdf)
# CUPS runs a backend of mode 0755 as its unprivileged user.
[[ $(stat -c %a /usr/lib/cups/backend/kuvrion) == 755 ]] || { echo "backend mode not 0755"; exit 1; }
for f in "${expected[@]}"; do
    [[ -f "$f" ]] || { echo "not installed: $f"; exit 1; }
done
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net /usr/share/metainfo/de.kuvrion.Kuvrion.metainfo.xml
fi

# The installed tool writes the same export as the build.
cp samples/letters-endmarker.pcl samples/letters-endmarker.ini "$work/"
/usr/bin/kuvrion-cli --ini "$work/letters-endmarker.ini" export "$work/letters-endmarker.pcl" \
    "$work/installed.pcl" >/dev/null
"$build/bin/kuvrion-cli" --ini "$work/letters-endmarker.ini" export "$work/letters-endmarker.pcl" \
    "$work/built.pcl" >/dev/null
cmp "$work/installed.pcl" "$work/built.pcl"
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
    echo "/usr/bin/kuvrion did not start or kept no settings in ~/.config/Kuvrion:"
    cat "$work/gui.log"
    exit 1
fi
echo "/usr/bin/kuvrion: started, settings in ~/.config/Kuvrion/kuvrion.ini"

apt-get purge -y -qq kuvrion >/dev/null
[[ ! -e /usr/bin/kuvrion ]] || { echo "the package did not go away"; exit 1; }
echo "== Package stage: $((SECONDS - start)) s"
