// The PCL job scanner: opens a print job, splits it once into job head, pages and job foot, and
// then hands out each page's bytes by page number (read from the source on every call, not cached).
//
// Page end: an FF byte that is not part of the binary data of a "W" escape sequence. Job head: the
// start of page 1 up to and including its first printer reset (ESC E); without a reset in page 1,
// its leading PJL block (universal exit and @PJL lines, up to "@PJL ENTER LANGUAGE=PCL" and the
// line ends after it). Tail: the bytes after the last page end (after the head in a job without
// page ends). A tail without page text is the job foot; a tail with page text is one more page,
// up to the first printer reset after its text, and the foot is that reset and what follows.
// So head, pages, one FF per page end and foot make up the whole job, byte for byte.
// Positions are 1-based and 64-bit.
#pragma once

#include "pcljob/ByteSource.h"
#include "pcljob/DuplexMode.h"
#include "pcljob/JobLanguage.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kuvrion {

class cPclMod {
public:
    // nStatus 0: scan begins (nValue = FileSize); 1: a page ended, and once more at the end of the
    // data (nValue = 1-based position where that page begins); 2: scan complete (nValue = 0).
    // Setting bCancel stops the scan; the pages found so far stay.
    using ProgressHandler =
        std::function<void(std::int32_t nStatus, std::int64_t nValue, bool& bCancel)>;

    static constexpr std::size_t kDefaultBlockSize = 256 * 1024;

    // What Connect does with a job that is not PCL 5: scan it all the same (the diagnostic tools),
    // or stop once its language is known and find no pages (the import, which refuses it).
    enum class ForeignJob { Scan, Stop };

    explicit cPclMod(std::size_t blockSize = kDefaultBlockSize);
    ~cPclMod();
    cPclMod(const cPclMod&) = delete;
    cPclMod& operator=(const cPclMod&) = delete;

    void SetProgressHandler(ProgressHandler handler) { m_progress = std::move(handler); }

    // Disconnects, opens `sFile` read-only and scans it. False (not connected, ReadError() telling
    // why) when the file cannot be opened or read. An empty file connects with 0 pages.
    bool Connect(const std::string& sFile, ForeignJob foreign = ForeignJob::Scan);
    // The same over any byte source (tests, fuzzing); `name` becomes FileName().
    bool Connect(std::unique_ptr<ByteSource> source, std::string name,
                 ForeignJob foreign = ForeignJob::Scan);
    void Disconnect();
    bool Connected() const { return m_source != nullptr; }

    const std::string& FileName() const { return m_fileName; }
    std::int64_t FileSize() const { return m_fileSize; }
    std::int32_t Pages() const { return m_pages; }
    bool ValidPageNr(std::int32_t nPageNr) const { return nPageNr >= 1 && nPageNr <= m_pages; }
    // 0 for an invalid page number.
    std::int64_t PageSeek(std::int32_t nPageNr) const;
    std::int64_t PageSize(std::int32_t nPageNr) const;
    // Empty for an invalid page number or a read error.
    std::string Page(std::int32_t nPageNr) const;
    // The same with failures reported: false (with ReadError() set) on a read error. Safe to call
    // from several threads at once.
    bool ReadPage(std::int32_t nPageNr, std::string& out) const;
    // errno of the last failed page read or Connect, 0 after a successful one.
    int ReadError() const { return m_readErrno.load(std::memory_order_relaxed); }
    // True when the source file's size or modification time differs from when it was scanned.
    bool SourceChanged() const;

    const std::string& PclJobHead() const { return m_head; }
    const std::string& PclJobFoot() const { return m_foot; }
    std::int64_t FileEscapes() const { return m_escapes; }
    // True when the last page has no FF of its own: it is the text of the tail.
    bool LastPageUnended() const { return m_lastPageUnended; }

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

    // Lists the escape sequences of `sPg`: 1-based positions and lengths (a "W" sequence includes
    // its byte count of data, which may reach past the end of the text). With no ESC in `sPg`,
    // nCount = 0 and the arrays are left as they were.
    static void GetEscStats(std::string_view sPg, std::vector<std::int64_t>& nEscPos,
                            std::vector<std::int64_t>& nEscLen, std::int32_t& nCount);

    // The same walk without the lists, for passes over every page of a job:
    // appends to `out` every byte of `sPg` outside its escape sequences (the page text) ...
    static void AppendWithoutEscapes(std::string_view sPg, std::string& out);
    // ... and finds the first escape sequence at or after 0-based `from`: false when there is
    // none, else its 0-based position and its length as GetEscStats gives it.
    static bool NextEscape(std::string_view sPg, std::size_t from, std::int64_t& pos,
                           std::int64_t& len);

private:
    void ScanPages();
    // After the walk: head, the page table's first and last entries, tail page, foot, duplex.
    // False on a read error (m_readErrno set).
    bool SplitJob(const DuplexTracker& duplex);

    std::size_t m_blockSize;
    ProgressHandler m_progress;
    std::unique_ptr<ByteSource> m_source;
    std::string m_fileName;
    std::int64_t m_fileSize = 0;
    std::int32_t m_pages = 0;
    std::vector<std::int64_t> m_pageStart; // Pages + 1 entries after a scan
    std::string m_head;
    std::string m_foot;
    std::int64_t m_escapes = 0;
    bool m_lastPageUnended = false;
    JobLanguage m_language;
    DuplexMode m_duplex = DuplexMode::None;
    bool m_duplexInPage1 = false;
    bool m_duplexSwitches = false;
    // Page reads may run on two threads at once (the import searches keys in parallel).
    mutable std::atomic<int> m_readErrno{0};
};

} // namespace kuvrion
