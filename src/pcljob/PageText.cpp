#include "pcljob/PageText.h"

#include "pcljob/PclTokenizer.h"

#include <algorithm>
#include <cstring>

namespace kuvrion {

namespace {

// Writes the text runs into room made beforehand: the text never outgrows the page.
class TextCollector : public PclTokenSink {
public:
    TextCollector(char* to, std::string_view page)
        : m_to(to), m_pageEnd(reinterpret_cast<const unsigned char*>(page.data()) + page.size())
    {
    }
    // Text is all it reads; sequences pass as a whole.
    static constexpr bool Reads(unsigned char, unsigned char) { return false; }
    void Text(std::int64_t, const unsigned char* p, std::size_t n)
    {
        // Drivers put a sequence every few bytes, so most runs are short: copy those as one
        // 16-byte move where the page has the bytes (the room has 16 bytes to spare).
        const bool shortRun = n <= kShortRun && m_pageEnd - p >= std::ptrdiff_t{kShortRun};
        std::memcpy(m_to, p, shortRun ? kShortRun : n);
        m_to += n;
    }
    void FormFeed(std::int64_t) { *m_to++ = '\f'; }
    char* End() const { return m_to; }

    static constexpr std::size_t kShortRun = 16;

private:
    char* m_to;
    const unsigned char* m_pageEnd;
};

class TextBlanker : public PclTokenSink {
public:
    TextBlanker(std::string& page, std::int64_t from, std::int64_t count)
        : m_page(page), m_from(from), m_to(from + count)
    {
    }
    static constexpr bool Reads(unsigned char, unsigned char) { return false; }
    void Text(std::int64_t at, const unsigned char*, std::size_t n) { Blank(at, n); }
    void FormFeed(std::int64_t at) { Blank(at, 1); }
    // The stretch is blanked: the rest of the page need not be read.
    bool Done() const { return m_text >= m_to; }

private:
    // The run at page offset `at` holds the text positions [m_text, m_text + n).
    void Blank(std::int64_t at, std::size_t n)
    {
        const auto len = static_cast<std::int64_t>(n);
        const std::int64_t lo = std::max(m_from, m_text);
        const std::int64_t hi = std::min(m_to, m_text + len);
        if (lo < hi) {
            std::fill_n(m_page.begin() + (at + lo - m_text), hi - lo, ' ');
        }
        m_text += len;
    }

    std::string& m_page;
    std::int64_t m_from;
    std::int64_t m_to;
    std::int64_t m_text = 0; // text position of the next run
};

} // namespace

std::size_t WritePageText(std::string_view page, char* to)
{
    static_assert(TextCollector::kShortRun <= kPageTextSlack);
    TextCollector collector(to, page);
    Tokenize(page, collector);
    return static_cast<std::size_t>(collector.End() - to);
}

void AppendPageText(std::string_view page, std::string& out)
{
    const std::size_t start = out.size();
    out.resize(start + page.size() + kPageTextSlack);
    out.resize(start + WritePageText(page, out.data() + start));
}

void BlankPageText(std::string& page, std::int64_t from, std::int64_t count)
{
    if (count <= 0 || from < 0) {
        return;
    }
    // Only text already read is blanked, and a blank is text as well: the rest reads the same.
    // The key stands near the top of a page, so the page is read in pieces up to it.
    constexpr std::size_t kPiece = 1024;
    TextBlanker blanker(page, from, count);
    PclTokenizer tokenizer;
    const auto* bytes = reinterpret_cast<const unsigned char*>(page.data());
    for (std::size_t at = 0; at < page.size() && !blanker.Done();) {
        const std::size_t n = std::min(kPiece, page.size() - at);
        tokenizer.Feed(bytes + at, n, blanker);
        at = static_cast<std::size_t>(tokenizer.Position());
        at += static_cast<std::size_t>(
            tokenizer.SkipData(static_cast<std::int64_t>(page.size() - at), blanker));
    }
}

} // namespace kuvrion
