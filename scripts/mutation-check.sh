#!/usr/bin/env bash
# Mutation check: puts a fixed list of small faults into the core one at a time (a flipped
# comparison, an off-by-one, a dropped statement, a wrong rounding, a wrong constant, a swapped
# argument, ...), builds, runs the fast tests and reports for each fault whether a test failed
# (CAUGHT) or not (MISSED). It reports and does not judge: the exit status is 0 whenever it ran.
#
# Everything happens in a copy of the repository in a scratch folder; the working tree is only read.
# Each fault is an exact code snippet and its replacement; the file is found by searching all of
# src/, so the list survives files moving between folders. A snippet that is not found exactly
# once is SKIPPED (not found), a fault that does not compile is SKIPPED (does not build); neither
# counts.
#
#   scripts/mutation-check.sh                 # all mutations, scratch folder /tmp/kuvrion-mutation
#   scripts/mutation-check.sh --list          # the mutations and where they apply; runs nothing
#   scripts/mutation-check.sh -j 4 --dir /var/tmp/mut --only 3,17
#
# Environment: MUTATION_DIR (scratch folder), MUTATION_TIMEOUT (seconds per test, default 60),
# MUTATION_EXCLUDE (ctest -E regex of tests too slow for the check; default the >4 GiB job and the
# 10-million-page job).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
scratch=${MUTATION_DIR:-/tmp/kuvrion-mutation}
jobs=2
list_only=0
only=""
timeout=${MUTATION_TIMEOUT:-60}
exclude=${MUTATION_EXCLUDE:-JobBeyondFourGiB|TenMillionTinyPages}

usage() {
    sed -n '2,/^set -euo/p' "$0" | sed -e '/^set -euo/d' -e 's/^# \{0,1\}//'
}

while (($#)); do
    case $1 in
    --list) list_only=1 ;;
    -j) jobs=${2:?-j needs a number}; shift ;;
    -j*) jobs=${1#-j} ;;
    --dir) scratch=${2:?--dir needs a folder}; shift ;;
    --dir=*) scratch=${1#--dir=} ;;
    --only) only=${2:?--only needs numbers like 3,17}; shift ;;
    --only=*) only=${1#--only=} ;;
    -h | --help) usage; exit 0 ;;
    *) echo "unknown argument: $1 (see --help)" >&2; exit 2 ;;
    esac
    shift
done
[[ $jobs =~ ^[1-9][0-9]*$ ]] || { echo "-j needs a positive number" >&2; exit 2; }

# The faults. "@ what goes wrong", "- exact original snippet", "+ replacement"; one line each.
read -r -d '' mutation_text <<'MUTATIONS' || true
# PCL tokenizer and scanner: page splitting and escape sequences
@ tokenizer: the data of a command is not skipped, so an FF in it ends a page
- !malformed && IsDataCommand(m_family, m_group, letter) ? m_command.value.Count() : 0;
+ 0;
@ tokenizer: a count of x.5 always rounds up instead of to the even number
- if (m_firstFraction > 5 ||
+ if (m_firstFraction >= 5 ||
@ tokenizer: "/" (47) no longer opens a parameterized sequence
- if (c >= 33 && c <= 47) {
+ if (c >= 33 && c < 47) {
@ tokenizer: a lower-case data command inside a combined sequence carries no data
- const auto d = static_cast<unsigned>((letter & ~0x20) - 'V');
+ const auto d = static_cast<unsigned>(letter - 'V');
@ tokenizer: raster data by plane (ESC*b#V) is not skipped
- {'*', 'b', 'V'}, // raster plane
+ {'*', 'b', 'W'}, // raster plane
@ tokenizer: HP-GL/2 is not entered, an FF in it ends a page
- m_hpgl = true;
+ m_hpgl = false;
@ tokenizer: an ESC inside an HP-GL/2 label ends the label
- if (c == kEscByte && m_state != kHpglLabel && m_state != kHpglComment &&
+ if (c == kEscByte && m_state != kHpglComment &&
@ scanner: a page ends one byte early (the FF goes to the next page)
- EndPage(at, true);
+ EndPage(at - 1, true);
@ scanner: a printer reset after printed text does not end the page
- EndPage(at, false);
+ (void)at;
@ scanner: a universal exit after printed text does not end the page
- PageBreakCandidate(cmd.offset);
+ (void)cmd;
@ scanner: blanks count as printed content
- if (p[i - 1] > ' ' && p[i - 1] != 127) {
+ if (p[i - 1] >= ' ' && p[i - 1] != 127) {
@ scanner: a printer reset that closes page 1 leaves an empty page 1 behind
- if (!m_pageEnd.empty() && m_pageEnd.front() > 0 && region1 == headLen && headLen > 0) {
+ if (false) {
@ scanner: printed content after the last page end is not a page, the last letter is lost
- m_pageEnd.push_back(PageEndCode(footStart, false));
+ (void)footStart;
@ scanner: the page size includes its FF
- return EndOffset(m_pageEnd[static_cast<std::size_t>(nPageNr) - 1]) + 1 - PageSeek(nPageNr);
+ return EndOffset(m_pageEnd[static_cast<std::size_t>(nPageNr) - 1]) + 2 - PageSeek(nPageNr);

# Addressee key
@ key search: the key position is 0-based, a key at the very start is not found
- const auto p = static_cast<std::int64_t>(found) + 1;
+ const auto p = static_cast<std::int64_t>(found);
@ key search: a fixed-length ID that ends exactly at the end of the text is refused
- text.size() - s0 >= idLen
+ text.size() - s0 > idLen
@ key search: the ID loses its last character
- id.assign(text.substr(s0, e - s0));
+ id.assign(text.substr(s0, e - s0 - 1));
@ key search: the end marker is not part of the key length, so it stays on the page
- keyLen += static_cast<std::int64_t>(e - s0 + end.size());
+ keyLen += static_cast<std::int64_t>(e - s0);
@ key removal: the page bytes are blanked at text positions, escape sequences in the key are destroyed
- std::fill_n(m_page.begin() + (at + lo - m_text), hi - lo, ' ');
+ std::fill_n(m_page.begin() + lo, hi - lo, ' ');

# Addressees
@ addressees: an ID seen again later in the job starts a second addressee
- if (auto it = m_index.find(sID); it != m_index.end())
+ if (auto it = m_index.find(sID); false && it != m_index.end())
@ addressees: one page more than the 16-bit page count is accepted
- if (nPagePosTab.size() >= static_cast<std::size_t>(kMaxPages))
+ if (nPagePosTab.size() > static_cast<std::size_t>(kMaxPages))

# Import pass
@ import: the last page of every 4096-page chunk is never read nor assigned
- std::min(result.nJobPages, base + kChunkPages - 1);
+ std::min(result.nJobPages, base + kChunkPages - 2);
@ import: the page before the middle of a chunk is never searched when two threads share it
- Search(first, mid - 1, m_own);
+ Search(first, mid - 2, m_own);
@ import: pages without a key do not go to the addressee before them
- if (!id.empty() || current) {
+ if (!id.empty()) {

# OME code
@ OME code: the code is one bar position longer than its marks
- std::array<BarRun, 6> column{{{BarBlock::Base, 1, 2},
+ std::array<BarRun, 6> column{{{BarBlock::Base, 1, 3},
@ OME code: sequence bits are written lowest bit first
- bits[static_cast<std::size_t>(n - 1 - k)] = '1';
+ bits[static_cast<std::size_t>(k)] = '1';
@ OME code: the sequence counter does not advance
- nSeqCounter = (nSeqCounter + 1) &
+ nSeqCounter = (nSeqCounter + 0) &
@ OME code: parity makes the bar count odd instead of even
- CountBars(s, code) % 2 != 0
+ CountBars(s, code) % 2 == 0
@ OME code: the stop position is not reserved, later marks move up by one
- {BarBlock::Stop, 0, bars(s.use_stop, 1)},
+ {BarBlock::Stop, 0, 0},
@ OME code: envelope and collect code swapped
- closesEnvelope ? s.envelop_code : s.collect_code
+ closesEnvelope ? s.collect_code : s.envelop_code

# Mark drawing
@ mark drawing: the OME left offset is added instead of subtracted
- float x = s.ome_x - s.pclleftmm - s.omeleftmm; // from the PCL origin
+ float x = s.ome_x - s.pclleftmm + s.omeleftmm;
@ mark drawing: a bar cut at the left edge keeps its full length
- length = x + s.ome_b; // the part right of the origin
+ length = s.ome_b;
@ mark drawing: the bar pitch leaves out the bar thickness
- Y += A + D;
+ Y += A;
@ mark drawing: the bar length is truncated instead of rounded
- const std::int64_t W = RoundToLong(start.length * fPclPerMM);
+ const std::int64_t W = static_cast<std::int64_t>(start.length * fPclPerMM);

# Export writer
@ export: an envelope takes one sheet more than its limit
- (s.bEnvLimit && nInEnvelope == s.nEnvLimit) || sheet == sheets;
+ (s.bEnvLimit && nInEnvelope > s.nEnvLimit) || sheet == sheets;
@ export: one addressee fewer than asked is exported
- std::clamp(nExportCount, 0, persons.Count())
+ std::clamp(nExportCount - 1, 0, persons.Count())
@ export: left and top OME offset swapped
- WriteOffsetRegistration(buf, s.omeleftmm, s.ometopmm);
+ WriteOffsetRegistration(buf, s.ometopmm, s.omeleftmm);
@ export: the FF after a sheet is not written, sheets run together
- buf += sFormFeed; // every page ends with its form feed
+ (void)buf;
@ export: the job foot is not written
- if (!out.Append(pcl.PclJobFoot()) || !out.Flush()) {
+ if (!out.Flush()) {
@ export: the key is removed exactly when it should stay
- if (s.bAdrKeyRem) {
+ if (!s.bAdrKeyRem) {

# Reference job and escape skeleton
@ reference page: the marks are drawn with no bar set
- std::max(s.nCodeLen, 0)), '1')
+ std::max(s.nCodeLen, 0)), '0')
@ escape skeleton: a run of text loses one fill byte
- void Text(std::int64_t, const unsigned char*, std::size_t n) { m_out.append(n, m_fill); }
+ void Text(std::int64_t, const unsigned char*, std::size_t n) { m_out.append(n - 1, m_fill); }

# Numbers and text helpers
@ rounding: positions are truncated instead of rounded
- std::floor(static_cast<double>(value) + 0.5)
+ std::floor(static_cast<double>(value))
@ millimetre text: ".5" is written without its leading 0
- text.insert(text.begin(), '0');
+ (void)text;
@ number input: the minus sign is dropped
- number += '-';
+ (void)number;
@ number input: a decimal comma ends the number ("2,5" reads 2)
- copy[comma] = '.';
+ (void)copy;
@ whole numbers: halves round away from zero instead of to the even number
- r -= std::copysign(1.0, v);
+ (void)r;
@ Windows-1252: byte 0x9F is converted as a control character instead of the letter
- else if (b < 0xA0)
+ else if (b < 0x9F)

# Settings
@ settings: an envelope limit of 6 is accepted
- "envlimit",     "",    Form::EnvLimit,   1,  5,
+ "envlimit",     "",    Form::EnvLimit,   1,  6,
@ settings: an ID length of 0 is accepted
- "adridlen",     "",    Form::Whole,      1,  99,
+ "adridlen",     "",    Form::Whole,      0,  99,
@ settings: the key settings count as complete in the wrong key mode
- if (mode != 0)
+ if (mode == 0)

# Settings store
@ settings store: keys and sections become case-sensitive
- if (Upper(a[i]) != Upper(b[i]))
+ if (a[i] != b[i])
@ settings store: comment lines are read as entries
- if (t.empty() || t.front() == ';')
+ if (t.empty())
@ settings store: a section reaches to the end of the file, keys of later sections are found
- sections.back().stop = i;
+ (void)i;
@ settings store: a key starting with "[" is written and reads back as a section header
- k.front() != ';' && k.front() != '[' &&
+ k.front() != ';' &&
@ settings store: numbered sections after a removed one keep their numbers
- .append(ToDecimal(std::int64_t{*n} - 1))
+ .append(ToDecimal(std::int64_t{*n}))
@ settings store: a write-protected settings file is replaced
- return !IsWriteProtected(PathFromUtf8(path));
+ return true;

# Atomic file
@ atomic file: a pipe or device in the target's place is replaced by a plain file
- return Fail(EPERM);
+ (void)0;
@ atomic file: after a failed write the incomplete file still replaces the target
- if (const int err = FlushToDisk(m_file); err != 0)
+ if (const int err = FlushToDisk(m_file); err != 0 && false)
@ atomic file: the same file in another letter case is taken for a different one
- equal = AsciiLower(a[i]) == AsciiLower(b[i]);
+ equal = a[i] == b[i];

# Commands
@ commands: export is offered before the import completed
- m_state.bDstOK && m_state.bImportComplete;
+ m_state.bDstOK;
@ commands: the destination may be the source job itself
- DirExists(ParentPath(dst)) && !SameFile(dst, m_state.cfg.sSrcFile);
+ DirExists(ParentPath(dst));
@ commands: a failed import still enables the export
- if (!result.failure && st.nJobPages > 0) {
+ if (st.nJobPages > 0) {
@ commands: the export goes ahead although the source changed since the import
- return Finish(Action::Export, Failure{FailureKind::SourceChanged, 0, 0, st.cfg.sSrcFile});
+ (void)0;
# Proof before paper: the check of a marked job, the reprint, the 2D code, the code rules
@ check: a code with an odd number of bars passes the parity check
- if (InCode(l, l.parity) && std::count(code.begin(), code.end(), '1') % 2 != 0)
+ if (InCode(l, l.parity) && std::count(code.begin(), code.end(), '1') % 2 == 0)
@ reprint: every envelope is written, not only the chosen ones
- return !keepEnvelopes || (e < keepEnvelopes->size() && (*keepEnvelopes)[e]);
+ return true;
@ 2D code: a field is not padded with zeros to its width
- value.insert(0, static_cast<std::size_t>(part.width) - value.size(), '0');
+ (void)value;
@ code rules: an empty collecting code passes where a sheet collects
- if (collects && s.collect_code.empty())
+ if (false)
MUTATIONS

descs=()
origs=()
repls=()
parse_mutations() {
    local line desc="" orig="" n=0
    while IFS= read -r line; do
        n=$((n + 1))
        case $line in
        '' | '#'*) ;;
        '@ '*) desc=${line#@ } ;;
        '- '*) orig=${line#- } ;;
        '+ '*)
            if [[ -z $desc || -z $orig ]]; then
                echo "mutation list, line $n: '+' without '@' and '-' before it" >&2
                exit 2
            fi
            descs+=("$desc")
            origs+=("$orig")
            repls+=("${line#+ }")
            desc=""
            orig=""
            ;;
        *) echo "mutation list, line $n: cannot read: $line" >&2; exit 2 ;;
        esac
    done <<<"$mutation_text"
}
parse_mutations

# locate ROOT SNIPPET: sets `found` to the one file under ROOT/src holding SNIPPET exactly once, or
# empty with `why` saying what was found instead.
locate() {
    local root=$1 snippet=$2 files content rest count
    found=""
    why=""
    mapfile -t files < <(grep -rlF --include='*.cpp' --include='*.h' -e "$snippet" "$root/src" ||
        true)
    if ((${#files[@]} == 0)); then
        why="no match in src/"
        return
    fi
    if ((${#files[@]} > 1)); then
        why="in ${#files[@]} files"
        return
    fi
    IFS= read -r -d '' content <"${files[0]}" || true
    rest=${content//"$snippet"/}
    count=$(((${#content} - ${#rest}) / ${#snippet}))
    if ((count != 1)); then
        why="$count matches in ${files[0]#"$root"/}"
        return
    fi
    found=${files[0]}
}

selected() {
    [[ -z $only ]] && return 0
    local n
    IFS=, read -r -a wanted <<<"$only"
    for n in "${wanted[@]}"; do
        [[ $n == "$1" ]] && return 0
    done
    return 1
}

total=${#descs[@]}
width=${#total}

if ((list_only)); then
    for ((i = 0; i < total; ++i)); do
        selected $((i + 1)) || continue
        locate "$repo" "${origs[i]}"
        printf '[%*d] %s\n' "$width" $((i + 1)) "${descs[i]}"
        if [[ -n $found ]]; then
            printf '     %s\n' "${found#"$repo"/}"
        else
            printf '     SKIPPED (not found: %s)\n' "$why"
        fi
        printf '     - %s\n     + %s\n' "${origs[i]}" "${repls[i]}"
    done
    exit 0
fi

for tool in git cmake ninja ctest grep; do
    command -v "$tool" >/dev/null || { echo "$tool is needed" >&2; exit 1; }
done

# The scratch folder must lie outside the repository: the working tree is never written.
mkdir -p "$scratch"
scratch=$(cd "$scratch" && pwd -P)
case "$scratch/" in
"$(cd "$repo" && pwd -P)/"*)
    echo "the scratch folder must lie outside the repository: $scratch" >&2
    exit 2
    ;;
esac
copy=$scratch/repo
build=$scratch/build
logs=$scratch/logs
saved=$scratch/pristine-file
tmp=$scratch/tmp

start=$SECONDS
elapsed() {
    local s=$((SECONDS - ${1:-$start}))
    printf '%dm %02ds' $((s / 60)) $((s % 60))
}

mutated=""
restore() {
    if [[ -n $mutated ]]; then
        cp "$saved" "$mutated" # a fresh time stamp, so the next build compiles the original again
        mutated=""
    fi
}
trap 'restore' EXIT
trap 'restore; echo "interrupted" >&2; exit 130' INT TERM

echo "Kuvrion mutation check: $total mutations, scratch folder $scratch, -j$jobs"

# A fresh copy of the working tree's files (tracked, and new ones not ignored) and a fresh build:
# a build left over from an interrupted run could hold a mutated object.
rm -rf "$copy" "$build" "$logs" "$tmp"
mkdir -p "$copy" "$logs"
(cd "$repo" && git ls-files -z --cached --others --exclude-standard) |
    while IFS= read -r -d '' f; do
        if [[ -f $repo/$f && ! -L $repo/$f ]]; then
            mkdir -p "$copy/$(dirname "$f")"
            cp "$repo/$f" "$copy/$f"
        elif [[ -L $repo/$f ]]; then
            mkdir -p "$copy/$(dirname "$f")"
            cp -P "$repo/$f" "$copy/$f"
        fi
    done

# Each mutation recompiles one file and relinks every test program: unoptimised code without debug
# information and a fast linker make that cycle about twice as quick as a plain Debug build.
linker=()
if command -v ld.lld >/dev/null; then
    linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=lld)
elif command -v ld.gold >/dev/null; then
    linker=(-DCMAKE_EXE_LINKER_FLAGS=-fuse-ld=gold)
fi
step=$SECONDS
printf 'Building (unoptimised, no desktop program) ... '
if ! cmake -S "$copy" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_FLAGS_DEBUG=-O0 \
    "${linker[@]}" -DKUVRION_GUI=OFF -DKUVRION_MANUAL=OFF -DKUVRION_BENCH=OFF \
    >"$logs/configure.log" 2>&1 ||
    ! ninja -C "$build" -j"$jobs" >"$logs/build.log" 2>&1; then
    echo "failed; see $logs/configure.log and $logs/build.log" >&2
    exit 1
fi
elapsed "$step"
echo

run_tests() {
    # A private temporary folder: some tests name their folders after themselves, so test runs of
    # other checkouts on the same machine would otherwise share (and remove) them.
    chmod -R u+w "$tmp" 2>/dev/null || true
    rm -rf "$tmp"
    mkdir -p "$tmp"
    TMPDIR=$tmp TEST_TMPDIR=$tmp ctest --test-dir "$build" -j"$jobs" --timeout "$timeout" \
        --no-tests=error --stop-on-failure -LE '^ui$' -E "$exclude"
}

step=$SECONDS
printf 'Tests on the unchanged code ... '
if ! run_tests >"$logs/baseline.log" 2>&1; then
    echo "they fail; a mutation check needs a passing suite. See $logs/baseline.log" >&2
    exit 1
fi
ntests=$(grep -cE '^ *[0-9]+/[0-9]+ Test +#' "$logs/baseline.log" || true)
echo "$ntests tests pass in $(elapsed "$step") (excluded: label ui, -E '$exclude')"
echo

caught=0
missed=0
not_found=0
no_build=0
missed_list=()
for ((i = 0; i < total; ++i)); do
    k=$((i + 1))
    selected "$k" || continue
    label=$(printf '[%*d]' "$width" "$k")
    locate "$copy" "${origs[i]}"
    if [[ -z $found ]]; then
        not_found=$((not_found + 1))
        printf '%s SKIPPED (not found: %s)  %s\n' "$label" "$why" "${descs[i]}"
        continue
    fi
    where=${found#"$copy"/}
    log=$logs/$k.log

    cp "$found" "$saved"
    mutated=$found
    IFS= read -r -d '' content <"$found" || true
    printf '%s' "${content/"${origs[i]}"/"${repls[i]}"}" >"$found"

    if ! ninja -C "$build" -j"$jobs" >"$log" 2>&1; then
        no_build=$((no_build + 1))
        restore
        printf '%s SKIPPED (does not build)  %s  %s\n' "$label" "$where" "${descs[i]}"
        continue
    fi
    if run_tests >>"$log" 2>&1; then
        missed=$((missed + 1))
        missed_list+=("$i")
        printf '%s MISSED  %s  %s\n' "$label" "$where" "${descs[i]}"
    else
        caught=$((caught + 1))
        # A test that failed, from ctest's closing list ("  43 - Name (Failed)").
        first=$(sed -n '/The following tests FAILED:/{n;p;q}' "$log" |
            sed -E 's/^[[:space:]]*[0-9]+ - //; s/ \(Failed\)$//')
        printf '%s CAUGHT  %s  %s%s\n' "$label" "$where" "${descs[i]}" "${first:+  (by $first)}"
    fi
    restore
done

if ((${#missed_list[@]})); then
    echo
    echo "Missed (no test fails with these faults):"
    for i in "${missed_list[@]}"; do
        printf '[%*d] %s\n     - %s\n     + %s\n' "$width" $((i + 1)) "${descs[i]}" "${origs[i]}" \
            "${repls[i]}"
    done
fi

judged=$((caught + missed))
percent=0
if ((judged > 0)); then
    percent=$(((caught * 100 + judged / 2) / judged))
fi
echo
echo "skipped $((not_found + no_build)) (not found $not_found, does not build $no_build);" \
    "runtime $(elapsed); logs in $logs"
echo "caught $caught of $judged ($percent%)"
