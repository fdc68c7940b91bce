// The PCL job scanner: opens a print job, splits it once into job head, pages and job foot, and
// then hands out each page's bytes by page number (read from the source on every call, not cached).
//
// The job is read with the one PCL tokenizer (PclTokenizer.h), and pages end where a printer ejects
// them: at an FF in PCL mode (not in the data of a command, not in HP-GL/2), and at a printer
// reset (ESC E) or universal exit that follows printed content on the page (text other than
// blanks and control codes, a filled rectangle, raster rows, transparent data, HP-GL/2 drawing);
// such a page has no FF of its own, and the reset or exit begins the next page.
// Job head: the start of page 1 up to and including its first printer reset; without a reset in
// page 1, its leading PJL block (universal exit and @PJL lines, up to "@PJL ENTER LANGUAGE=PCL"
// and the line ends after it). A page 1 holding nothing but the head is dropped. Tail: the bytes
// after the last page end. A tail without printed content is the job foot; else it is one more
// page, and the foot is empty.
// So head, pages, the FF of every page that has one, and foot make up the whole job, byte for
// byte. Positions are 1-based and 64-bit.
#pragma once

#include "base/Result.h"
#include "pcljob/ByteSource.h"
#include "pcljob/DuplexMode.h"
#include "pcljob/JobLanguage.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kuvrion {

class PclTokenizer;
class ScanFollower;

class PclJob {
public:
    // status 0: scan begins (value = FileSize); 1: a page ended, and once more at the end of the
    // data (value = 1-based position where that page begins); 2: scan complete (value = 0).
    // Setting cancel stops the scan at once; the pages found so far stay, and the rest of the job
    // is one more page (it is not read to find out).
    using ProgressHandler =
        std::function<void(std::int32_t status, std::int64_t value, bool& cancel)>;

    static constexpr std::size_t kDefaultBlockSize = 256 * 1024;

    // What Connect does with a job that is not PCL 5: scan it all the same (the diagnostic tools),
    // or stop once its language is known and find no pages (the import, which refuses it).
    enum class ForeignJob { Scan, Stop };

    explicit PclJob(std::size_t blockSize = kDefaultBlockSize);
    ~PclJob();
    PclJob(const PclJob&) = delete;
    PclJob& operator=(const PclJob&) = delete;

    void SetProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); }

    // Disconnects, opens `fileName` read-only and scans it. Fails (not connected; SourceUnreadable
    // with the system's error, the file and the offset of a failed read) when the file cannot be
    // opened or read. An empty file connects with 0 pages.
    Result<void> Connect(const std::string& fileName, ForeignJob foreign = ForeignJob::Scan);
    // The same, with `follower` told the job's commands and page ends as the scan reads them.
    Result<void> Connect(const std::string& fileName, ForeignJob foreign, ScanFollower& follower);
    // The follower of the last Connect saw every byte of the job (the scan was not cancelled and
    // the job held no more pages than the page count can take).
    bool FollowedWhole() const { return m_followedWhole; }
    // The same over any byte source (tests, fuzzing); `name` becomes FileName().
    Result<void> Connect(std::unique_ptr<ByteSource> source, std::string name,
                         ForeignJob foreign = ForeignJob::Scan);
    void Disconnect();
    bool Connected() const { return m_source != nullptr; }

    const std::string& FileName() const { return m_fileName; }
    std::int64_t FileSize() const { return m_fileSize; }
    std::int32_t Pages() const { return m_pages; }
    bool ValidPageNr(std::int32_t pageNumber) const
    {
        return pageNumber >= 1 && pageNumber <= m_pages;
    }
    // Where page pageNumber begins (1-based) and how many bytes it has without its FF; PageMissing
    // for a page the job does not have.
    Result<std::int64_t> PageSeek(std::int32_t pageNumber) const;
    Result<std::int64_t> PageSize(std::int32_t pageNumber) const;
    // The page ends with an FF (else a printer reset or universal exit, or the end of the job,
    // ends it).
    bool PageEndsWithFormFeed(std::int32_t pageNumber) const;
    // Reads the page's bytes into `out` (emptied on failure). Fails with PageRead (the page, the
    // system's error, the offset) on a read error, EINVAL for a page the job does not have, EBADF
    // while not connected. Safe to call from several threads at once.
    Result<void> ReadPage(std::int32_t pageNumber, std::string& out) const;
    // True when the source file's size or modification time differs from when it was scanned.
    bool SourceChanged() const;

    const std::string& PclJobHead() const { return m_head; }
    const std::string& PclJobFoot() const { return m_foot; }
    std::int64_t FileEscapes() const { return m_escapes; }
    // True when the last page has no FF of its own.
    bool LastPageUnended() const { return m_pages > 0 && !PageEndsWithFormFeed(m_pages); }

    // The job's language, from its first bytes (PCL 5 while not connected).
    const JobLanguage& Language() const { return m_language; }
    // The duplex mode: the first ESC &l#S before the first page end, else "@PJL SET DUPLEX" in the
    // job head.
    DuplexMode Duplex() const { return m_duplex; }
    // The ESC &l#S that set the mode lies after the job head (in page 1), so a job that leaves
    // page 1 out has to select the mode itself.
    bool DuplexSelectedInPage1() const { return m_duplexInPage1; }
    // A selection of another mode, a first selection after page 1 or a side selection somewhere
    // before the job foot: the pages cannot be paired into sheets safely.
    bool DuplexSwitches() const { return m_duplexSwitches; }

private:
    class PageEndFinder;
    class FollowingFinder;

    Result<void> ScanPages();
    // The scan with the given page end finder (one that tells a follower, or not).
    template <class Finder> Result<void> ScanWith(Finder& finder);
    // Feeds the job from the tokenizer's position to its end, or until `stop` says so after a
    // block. Fails on a read error.
    template <class Finder>
    Result<void> WalkFrom(PclTokenizer& tokenizer, Finder& finder,
                          const std::function<bool()>& stop);
    // After the walk: head, pages, tail page, foot, duplex. Fails on a read error.
    Result<void> SplitJob(PageEndFinder& finder);
    // 0-based start and length of a valid page.
    std::int64_t Start(std::int32_t pageNumber) const;
    std::int64_t Length(std::int32_t pageNumber) const;

    std::size_t m_blockSize;
    ProgressHandler m_progress;
    ScanFollower* m_follower = nullptr; // during Connect only
    bool m_followedWhole = false;
    std::unique_ptr<ByteSource> m_source;
    std::string m_fileName;
    std::int64_t m_fileSize = 0;
    std::int32_t m_pages = 0;
    std::int64_t m_firstPageStart = 0; // 0-based
    // Per page: the 0-based offset where its bytes end, plus one; negative when no FF follows.
    // Each page begins where the one before ended (after its FF).
    std::vector<std::int64_t> m_pageEnd;
    std::string m_head;
    std::string m_foot;
    std::int64_t m_escapes = 0;
    JobLanguage m_language;
    DuplexMode m_duplex = DuplexMode::None;
    bool m_duplexInPage1 = false;
    bool m_duplexSwitches = false;
};

} // namespace kuvrion
