#include "pcljob/EscSkeleton.h"

#include "pcljob/PclTokenizer.h"
#include "pcljob/PclJob.h"

#include <algorithm>
#include <vector>

namespace kuvrion {

namespace {

class SkeletonWriter : public PclTokenSink {
public:
    SkeletonWriter(std::string& out, std::string_view page, char fill)
        : m_out(out), m_page(page), m_fill(fill)
    {
    }
    void Text(std::int64_t, const unsigned char*, std::size_t n) { m_out.append(n, m_fill); }
    void FormFeed(std::int64_t) { m_out += m_fill; }
    void Escape(std::int64_t at, std::int64_t n, unsigned char) { Copy(at, n); }
    void Command(const PclCommand& cmd) { Copy(cmd.offset, cmd.length); }
    void Data(std::int64_t at, const unsigned char*, std::int64_t n, const PclCommand&)
    {
        Copy(at, n);
    }
    void Hpgl(std::int64_t at, const unsigned char*, std::size_t n)
    {
        Copy(at, static_cast<std::int64_t>(n));
    }
    void PjlLine(std::int64_t at, const unsigned char*, std::size_t n)
    {
        Copy(at, static_cast<std::int64_t>(n));
    }
    void Cut(std::int64_t at, std::int64_t n) { Copy(at, n); }

private:
    void Copy(std::int64_t at, std::int64_t n)
    {
        m_out.append(m_page.substr(static_cast<std::size_t>(at), static_cast<std::size_t>(n)));
    }

    std::string& m_out;
    std::string_view m_page;
    char m_fill;
};

} // namespace

void AppendPageSkeleton(std::string& out, std::string_view page, char fill)
{
    out.reserve(out.size() + page.size());
    SkeletonWriter writer(out, page, fill);
    Tokenize(page, writer);
}

Result<void> WriteEscSkeleton(const PclJob& job, std::int32_t pageCount, std::int32_t fillCode,
                              const std::function<bool(std::string_view)>& sink)
{
    const Failure sinkFailed{FailureKind::TargetWrite};
    const char fill = static_cast<char>(static_cast<unsigned char>(fillCode));
    const std::string_view formFeed("\f", 1);
    if (!job.PclJobHead().empty() && !sink(job.PclJobHead())) {
        return sinkFailed;
    }
    std::string page;
    std::string skeleton;
    for (std::int32_t n = 1; n <= pageCount; ++n) {
        if (auto read = job.ReadPage(n, page); !read) {
            return read;
        }
        skeleton.clear();
        AppendPageSkeleton(skeleton, page, fill);
        // A page that a reset or the end of the job ended has no FF of its own; the pages of a
        // part of the job are each closed by one.
        if (job.PageEndsWithFormFeed(n) || n < pageCount || pageCount < job.Pages()) {
            skeleton += formFeed;
        }
        if (!skeleton.empty() && !sink(skeleton)) {
            return sinkFailed;
        }
    }
    if (!job.PclJobFoot().empty() && !sink(job.PclJobFoot())) {
        return sinkFailed;
    }
    return {};
}

} // namespace kuvrion
