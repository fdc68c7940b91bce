#include "app/JobFiling.h"

#include "base/AtomicFile.h"
#include "base/Platform.h"

namespace fs = std::filesystem;

namespace kuvrion {

namespace {

// A name in `dir` for `name` that neither a job nor a reason has yet: "brief.pcl", "brief-2.pcl".
fs::path FreeName(const fs::path& dir, const std::string& name)
{
    const fs::path p = PathFromUtf8(name);
    fs::path candidate = dir / p;
    std::error_code ec;
    for (int n = 2;
         fs::exists(fs::symlink_status(candidate, ec)) ||
         fs::exists(fs::symlink_status(PathFromUtf8(PathToUtf8(candidate) + ".txt"), ec));
         ++n) {
        candidate = dir / PathFromUtf8(PathToUtf8(p.stem()) + "-" + std::to_string(n) +
                                       PathToUtf8(p.extension()));
    }
    return candidate;
}

// A copy that appears whole under `to`. 0 or the errno value.
int CopyWhole(const fs::path& from, const fs::path& to)
{
    fs::path temp = to;
    temp += ".part";
    std::error_code ec;
    fs::copy_file(from, temp, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        RemoveFileQuietly(temp);
        return ec.value();
    }
    if (auto replaced = ReplaceFile(temp, to); !replaced) {
        RemoveFileQuietly(temp);
        return replaced.error().err;
    }
    return 0;
}

int MoveOrCopy(const fs::path& from, const fs::path& to, bool move)
{
    std::error_code ec;
    if (move) {
        fs::rename(from, to, ec);
        if (!ec || ec != std::errc::cross_device_link) {
            return ec ? ec.value() : 0;
        }
    }
    if (const int err = CopyWhole(from, to); err != 0) {
        return err;
    }
    if (move) {
        fs::remove(from, ec);
    }
    return ec ? ec.value() : 0;
}

} // namespace

Result<void> FileJob(const fs::path& job, const std::string& name, const fs::path& dir)
{
    const fs::path target = FreeName(dir, name);
    if (const int err = MoveOrCopy(job, target, true); err != 0) {
        return Failure{FailureKind::JobMove, err, 0, PathToUtf8(job)};
    }
    return {};
}

Result<void> FileRefusedJob(const fs::path& job, const std::string& name, const std::string& reason,
                            const fs::path& dir, bool move)
{
    const fs::path target = FreeName(dir, name);
    fs::path text = target;
    text += ".txt";
    AtomicFile file;
    Result<void> written = file.Open(text);
    if (written) {
        written = file.Write(reason + "\r\n");
    }
    if (written) {
        written = file.Commit();
    }
    if (!written) {
        return Failure{FailureKind::JobMove, written.error().err, 0, PathToUtf8(text)};
    }
    if (const int err = MoveOrCopy(job, target, move); err != 0) {
        return Failure{FailureKind::JobMove, err, 0, PathToUtf8(job)};
    }
    return {};
}

} // namespace kuvrion
