# Sourced by every script in scripts/ and scripts/ci/: strict mode, and no way to end without saying
# why. After `source scripts/common.sh`:
#
#   - a failing command, an unset variable or a failing stage of a pipe ends the script, inside
#     functions and $(...) as well (set -Eeuo pipefail, inherit_errexit), and the ERR trap names
#     the script, the line, the command and its status;
#   - fail MESSAGE ends the script with "FAILED: <script>: MESSAGE";
#   - at_exit COMMAND runs COMMAND when the script ends (last registered first), whatever the
#     reason; a script that ends non-zero without a message of its own still says so.
#
# A command whose failure is expected is checked where it runs (`if ! cmd; then fail ...; fi`,
# `x=$(cmd) || fail ...`); `cmd || true` only where the failure truly does not matter.
set -Eeuo pipefail
shopt -s inherit_errexit

script_name=$(basename "$0")
common_told=0
common_cleanups=()

fail() {
    echo "FAILED: $script_name: $*" >&2
    common_told=1
    exit 1
}

common_on_error() {
    local status=$1 line=$2 command=$3
    echo "FAILED: $script_name, line $line: \`$command\` ended with status $status" >&2
    common_told=1
}
trap 'common_on_error $? $LINENO "$BASH_COMMAND"' ERR

at_exit() {
    common_cleanups=("$1" "${common_cleanups[@]}")
}

common_on_exit() {
    local status=$? cleanup
    set +eE
    trap - ERR
    for cleanup in "${common_cleanups[@]}"; do
        eval "$cleanup"
    done
    if ((status != 0 && !common_told)); then
        echo "FAILED: $script_name ended with status $status" >&2
    fi
    exit "$status"
}
trap common_on_exit EXIT
trap 'echo "FAILED: $script_name: interrupted" >&2; common_told=1; exit 130' INT TERM HUP
