# Sourced by scripts/build-windows.sh and scripts/compare-windows.sh (after scripts/common.sh): the
# Wine prefix of the Windows build, started once up front.
#
#   wine_start PREFIX [EXE ARG...]
#
# Makes PREFIX the Wine prefix, starts one Wine server for all later runs (apart from any output: a
# server that a test run starts would hold that run's output pipe open, and ctest would wait for
# it), boots the prefix and checks that a program runs in it: EXE with its arguments, or Wine's
# own cmd. The first start after installing Wine creates the prefix, which takes a while and may
# fail for a passing reason, so it is tried three times, each failure named with the end of Wine's
# output; after the third the script fails. wine_stop ends the server (at_exit does it too).
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" # no Mono or Gecko dialogs
wine_stop_registered=0

wine_start() {
    export WINEPREFIX=$1
    shift
    local check=("$@") attempt out log status why
    ((${#check[@]})) || check=(cmd /c echo ready)
    mkdir -p "$WINEPREFIX"
    log=$(dirname "$WINEPREFIX")/wine-start.log
    : >"$log"
    if ((!wine_stop_registered)); then
        at_exit wine_stop
        wine_stop_registered=1
    fi
    for attempt in 1 2 3; do
        echo "== Wine: starting the prefix $WINEPREFIX (attempt $attempt of 3)"
        # A server that already runs for the prefix is kept, so its status does not matter here;
        # the program run below tells whether Wine works.
        wineserver -p </dev/null >>"$log" 2>&1 || true
        status=0
        timeout 900 wine wineboot --init </dev/null >>"$log" 2>&1 || status=$?
        if ((status != 0)); then
            why="wineboot --init ended with status $status"
            ((status != 124)) || why+=" (timed out after 900 s)"
        else
            out=$(timeout 300 wine "${check[@]}" </dev/null 2>>"$log") || status=$?
            out=${out//$'\r'/}
            if ((status == 0)) && [[ -n $out ]]; then
                echo "== Wine: ready (\`${check[*]}\` says: $(head -n 1 <<<"$out"))"
                return 0
            fi
            why="\`${check[*]}\` ended with status $status and printed ${#out} characters"
        fi
        echo "Wine did not start in $WINEPREFIX (attempt $attempt of 3): $why" >&2
        tail -n 5 "$log" >&2
        wineserver -k </dev/null >/dev/null 2>&1 || true
        sleep $((attempt * 5))
    done
    fail "Wine could not start the prefix $WINEPREFIX in three attempts (whole output: $log)"
}

wine_stop() {
    if [[ -n ${WINEPREFIX:-} ]]; then
        wineserver -k </dev/null >/dev/null 2>&1 || true
    fi
}
