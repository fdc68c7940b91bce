#include "pcljob/PageText.h"

#include "pcljob/PclTokenizer.h"

#include <algorithm>

namespace kuvrion {

namespace {

class TextCollector : public PclTokenSink {
public:
    explicit TextCollector(std::string& out) : m_out(out) {}
    void Text(std::int64_t, const unsigned char* p, std::size_t n)
    {
        m_out.append(reinterpret_cast<const char*>(p), n);
    }
    void FormFeed(std::int64_t) { m_out += '\f'; }

private:
    std::string& m_out;
};

class TextBlanker : public PclTokenSink {
public:
    TextBlanker(std::string& page, std::int64_t from, std::int64_t count)
        : m_page(page), m_from(from), m_to(from + count)
    {
    }
    void Text(std::int64_t at, const unsigned char*, std::size_t n) { Blank(at, n); }
    void FormFeed(std::int64_t at) { Blank(at, 1); }

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

void AppendPageText(std::string_view page, std::string& out)
{
    out.reserve(out.size() + page.size());
    TextCollector collector(out);
    Tokenize(page, collector);
}

void BlankPageText(std::string& page, std::int64_t from, std::int64_t count)
{
    if (count <= 0 || from < 0) {
        return;
    }
    // Only text already read is blanked, and a blank is text as well: the rest reads the same.
    TextBlanker blanker(page, from, count);
    Tokenize(std::string_view(page), blanker);
}

} // namespace kuvrion
