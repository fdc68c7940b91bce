// The watched folder: jobs dropped into IN are marked and checked without a person, one at a time.
//
// A job is taken when it is complete: at once when it was renamed into the folder after it was
// written (its change time lies after its last write), else when its size and times stayed the
// same for one interval. Names starting with "." or ending in ".tmp" or ".part" are never taken.
// A taken job is first renamed into the work folder IN/.kuvrion-work (so a second watcher or a
// writer that comes back cannot touch it), marked into OUT/<name>-OME.pcl (replaced atomically,
// only after its check passed), written to the journal OUT/kuvrion-journal.csv, and then moved to
// DONE, or to ERROR with <name>.txt holding the reason.
//
// A kill at any moment loses and repeats nothing: a job in the work folder whose journal line is
// missing is done again from the start (its output replaced as a whole), one whose line is there
// only finishes its move. Polling only, so it works on network shares and on every system.
#pragma once

#include "app/Journal.h"
#include "base/Result.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <string>

namespace kuvrion {

struct WatchOptions {
    std::filesystem::path in;
    std::filesystem::path out;   // empty: IN/out
    std::filesystem::path done;  // empty: IN/done
    std::filesystem::path error; // empty: IN/error, or [deliver] refused= of the settings
    std::chrono::milliseconds interval{2000};
    bool once = false;                // take what is there, then return
    std::filesystem::path programDir; // where the program's own settings file lies
    std::string settingsFile;         // UTF-8; empty: the program's own
};

class WatchFolder {
public:
    using Log = std::function<void(const std::string& line)>;
    // Hands a checked job (UTF-8 path) on; fails when it was not delivered. Empty: none.
    using Deliver = std::function<Result<void>(const std::string& marked)>;

    WatchFolder(WatchOptions options, Log log, Deliver deliver = {});

    // Runs until StopRequested() (after the current job), or with `once` until what was there is
    // done. Fails with what stops the service: IN missing (TargetFolderMissing), a folder that
    // cannot be made, a journal or move that fails (the job stays in the work folder and is done
    // on the next start).
    Result<void> Run();

private:
    struct Seen {
        std::int64_t size;
        std::int64_t mtimeNsec;
        std::int64_t mtimeSec;
        std::chrono::steady_clock::time_point since;
    };

    Result<void> Prepare();
    // Jobs of the work folder that a kill left there.
    Result<void> Recover();
    // One look at IN: takes every job that is complete. Sets `waiting` when some file is not yet.
    Result<void> Poll(bool& waiting);
    Result<void> Take(const std::string& name);
    // Marks the job in the work folder (its name there is `workName`), journals, moves it on.
    Result<void> Process(const std::string& workName);
    Result<void> Finish(const std::filesystem::path& work, const JournalEntry& entry);

    WatchOptions m_opt;
    Log m_log;
    Deliver m_deliver;
    std::filesystem::path m_work;
    std::optional<Journal> m_journal;
    std::map<std::string, Seen> m_seen;
};

} // namespace kuvrion
