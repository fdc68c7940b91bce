#include "app/WatchFolder.h"

#include "app/JobFiling.h"
#include "app/MarkJob.h"
#include "base/Platform.h"
#include "base/Sha256.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono;

namespace kuvrion {

namespace {

constexpr const char* kWorkFolder = ".kuvrion-work";
constexpr const char* kJournalName = "kuvrion-journal.csv";
// How often a sleeping watcher looks at the stop request.
constexpr milliseconds kStopCheck{100};

bool Ignored(const std::string& name)
{
    return name.empty() || name.front() == '.' || name.ends_with(".tmp") || name.ends_with(".part");
}

// When a job was taken, as its work name starts ("1796521719123~") and as the journal shows it.
std::string TakenTime(std::int64_t ms)
{
    const sys_days day = floor<days>(sys_time<milliseconds>(milliseconds(ms)));
    const year_month_day ymd(day);
    const hh_mm_ss<milliseconds> t(milliseconds(ms) - day.time_since_epoch());
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02u-%02uT%02d:%02d:%02d.%03dZ", int(ymd.year()),
                  unsigned(ymd.month()), unsigned(ymd.day()), int(t.hours().count()),
                  int(t.minutes().count()), int(t.seconds().count()), int(t.subseconds().count()));
    return buf;
}

// Does `step` for each name in name order, until one fails or a stop is asked for.
template <class Step> Result<void> InNameOrder(std::vector<std::string> names, const Step& step)
{
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        if (StopRequested()) {
            break;
        }
        if (auto done = step(name); !done) {
            return done;
        }
    }
    return {};
}

struct WorkName {
    std::int64_t takenMs;
    std::string job;
};

std::optional<WorkName> SplitWorkName(const std::string& name)
{
    const std::size_t tilde = name.find('~');
    if (tilde == std::string::npos || tilde == 0) {
        return std::nullopt;
    }
    std::int64_t ms = 0;
    const auto [end, ec] = std::from_chars(name.data(), name.data() + tilde, ms);
    if (ec != std::errc() || end != name.data() + tilde) {
        return std::nullopt;
    }
    return WorkName{ms, name.substr(tilde + 1)};
}

Result<void> MakeFolder(const fs::path& dir)
{
    std::error_code ec;
    fs::create_directories(dir, ec);
    if (ec || !fs::is_directory(dir, ec)) {
        return Failure{FailureKind::TargetFolderMissing, ec ? ec.value() : ENOTDIR, 0,
                       PathToUtf8(dir)};
    }
    return {};
}

// Sleeps `d`, waking early for a stop request. False when one came.
bool Pause(milliseconds d)
{
    const auto until = steady_clock::now() + d;
    while (!StopRequested()) {
        const auto now = steady_clock::now();
        if (now >= until) {
            return true;
        }
        std::this_thread::sleep_for(std::min<steady_clock::duration>(kStopCheck, until - now));
    }
    return false;
}

} // namespace

WatchFolder::WatchFolder(WatchOptions options, Log log, Deliver deliver)
    : m_opt(std::move(options)), m_log(std::move(log)), m_deliver(std::move(deliver))
{
    if (m_opt.out.empty()) {
        m_opt.out = m_opt.in / "out";
    }
    if (m_opt.done.empty()) {
        m_opt.done = m_opt.in / "done";
    }
    if (m_opt.error.empty()) {
        m_opt.error = m_opt.in / "error";
    }
    m_work = m_opt.in / kWorkFolder;
}

Result<void> WatchFolder::Prepare()
{
    std::error_code ec;
    if (!fs::is_directory(m_opt.in, ec)) {
        return Failure{FailureKind::TargetFolderMissing, ENOENT, 0, PathToUtf8(m_opt.in)};
    }
    for (const fs::path& dir : {m_work, m_opt.out, m_opt.done, m_opt.error}) {
        if (auto made = MakeFolder(dir); !made) {
            return made;
        }
        // A marked or filed job in the watched folder itself would be taken again as a new job.
        // The same folder by its spelling as well: not every system tells folders apart by
        // identity.
        const auto spelled = [](const fs::path& p) {
            std::error_code absent;
            return (fs::absolute(p, absent) / "").lexically_normal();
        };
        if (dir != m_work &&
            (fs::equivalent(dir, m_opt.in, ec) || spelled(dir) == spelled(m_opt.in))) {
            return Failure{FailureKind::DestinationIsSource, 0, 0, PathToUtf8(dir)};
        }
    }
    // A marked job that a kill caught before its check passed: its job is done again.
    for (const auto& entry : fs::directory_iterator(m_opt.out, ec)) {
        const std::string name = PathToUtf8(entry.path().filename());
        if (name.starts_with(".") && name.find(kStagedMark) != std::string::npos) {
            RemoveFileQuietly(entry.path());
        }
    }
    m_journal.emplace(m_opt.out / kJournalName);
    return {};
}

Result<void> WatchFolder::Run()
{
    if (auto prepared = Prepare(); !prepared) {
        return prepared;
    }
    if (auto recovered = Recover(); !recovered) {
        return recovered;
    }
    // With `once`, a file not yet complete gets one more look an interval later.
    for (int look = 0; !StopRequested(); ++look) {
        bool waiting = false;
        if (auto polled = Poll(waiting); !polled) {
            return polled;
        }
        if (m_opt.once && (look >= 1 || !waiting)) {
            break;
        }
        if (!Pause(m_opt.interval)) {
            break;
        }
    }
    return {};
}

Result<void> WatchFolder::Recover()
{
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m_work, ec)) {
        const std::string name = PathToUtf8(entry.path().filename());
        if (entry.is_regular_file(ec) && !Ignored(name) && SplitWorkName(name)) {
            names.push_back(name);
        }
    }
    return InNameOrder(std::move(names), [this](const std::string& name) { return Process(name); });
}

Result<void> WatchFolder::Poll(bool& waiting)
{
    std::vector<std::string> ready;
    std::map<std::string, Seen> seen;
    const auto now = steady_clock::now();
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(m_opt.in, ec)) {
        const std::string name = PathToUtf8(entry.path().filename());
        if (Ignored(name) || !entry.is_regular_file(ec)) {
            continue;
        }
        const std::optional<FileStamp> stamp = StampOfFile(entry.path());
        if (!stamp) {
            continue;
        }
        // Renamed in after its last write: complete.
        const bool renamedIn = std::pair(stamp->ctimeSec, stamp->ctimeNsec) >
                               std::pair(stamp->mtimeSec, stamp->mtimeNsec);
        Seen now_{stamp->size, stamp->mtimeNsec, stamp->mtimeSec, now};
        const auto before = m_seen.find(name);
        if (before != m_seen.end() && before->second.size == now_.size &&
            before->second.mtimeSec == now_.mtimeSec &&
            before->second.mtimeNsec == now_.mtimeNsec) {
            now_.since = before->second.since;
        }
        if (renamedIn || now - now_.since >= m_opt.interval) {
            ready.push_back(name);
        } else {
            seen[name] = now_;
            waiting = true;
        }
    }
    m_seen = std::move(seen);
    return InNameOrder(std::move(ready), [this](const std::string& name) { return Take(name); });
}

Result<void> WatchFolder::Take(const std::string& name)
{
    const std::int64_t ms =
        duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    const std::string workName = std::to_string(ms) + "~" + name;
    std::error_code ec;
    fs::rename(m_opt.in / PathFromUtf8(name), m_work / PathFromUtf8(workName), ec);
    if (ec) {
        // Gone or locked by its writer (Windows): the next look tries again.
        m_log(name + ": " +
              OneLine(MessageFor(Action::Watch, Failure{FailureKind::JobMove, ec.value(), 0, name})
                          .text));
        return {};
    }
    return Process(workName);
}

Result<void> WatchFolder::Process(const std::string& workName)
{
    const std::optional<WorkName> parts = SplitWorkName(workName);
    const fs::path work = m_work / PathFromUtf8(workName);
    // A job that cannot be read has no digest; the pipeline then refuses it with the reason.
    const Result<std::string> digest = Sha256OfFile(work);
    const std::string sha = digest ? *digest : "";
    const std::string taken = TakenTime(parts->takenMs);
    if (auto entry = m_journal->Find(taken, parts->job, sha)) {
        if (entry->result == kJournalDelivering) {
            // Stopped while it was handed over: the printer may have printed it already, so it
            // is not sent again but filed for the operator with the reason.
            entry->result = OneLine(
                MessageFor(Action::Deliver, Failure{FailureKind::DeliveryInDoubt, 0, 0, parts->job})
                    .text);
            if (auto appended = m_journal->Append(*entry); !appended) {
                return appended;
            }
        }
        return Finish(work, *entry); // done before a kill: only its move is left
    }

    const fs::path stem = PathFromUtf8(parts->job).stem();
    const fs::path marked = m_opt.out / PathFromUtf8(PathToUtf8(stem) + "-OME.pcl");
    MarkRequest request{m_opt.programDir, m_opt.settingsFile, PathToUtf8(work), PathToUtf8(marked)};
    MarkResult result = MarkJob(request);
    JournalEntry entry{taken,        parts->job,          sha,
                       result.pages, result.stats.sheets, result.stats.envelopes,
                       kJournalOk};
    if (!result.Ok()) {
        // The message names the job as it arrived, not its name in the work folder.
        if (result.failure->path == request.job) {
            result.failure->path = parts->job;
        }
        entry.result = result.Text();
    } else if (m_deliver) {
        // The journal knows the delivery began before a byte leaves, so a stop in the middle
        // never sends the job a second time.
        JournalEntry delivering = entry;
        delivering.result = kJournalDelivering;
        if (auto appended = m_journal->Append(delivering); !appended) {
            return appended;
        }
        if (const auto delivered = m_deliver(request.marked); !delivered) {
            entry.result = OneLine(MessageFor(Action::Deliver, delivered.error()).text);
        }
    }
    if (auto appended = m_journal->Append(entry); !appended) {
        return appended;
    }
    return Finish(work, entry);
}

Result<void> WatchFolder::Finish(const fs::path& work, const JournalEntry& entry)
{
    const bool ok = entry.result == kJournalOk;
    auto filed = ok ? FileJob(work, entry.job, m_opt.done)
                    : FileRefusedJob(work, entry.job, entry.result, m_opt.error, true);
    if (!filed) {
        return filed;
    }
    m_log(entry.job + ": " +
          (ok ? "OK, " + std::to_string(entry.sheets) + " Blätter, " +
                    std::to_string(entry.envelopes) + " Kuverts"
              : entry.result));
    return {};
}

} // namespace kuvrion
