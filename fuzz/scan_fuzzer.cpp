// The job scanner fed from memory: the page table must hold its invariants (head, pages, the FF of
// every page that has one and foot make up the job byte for byte, in order) and be the same
// whatever the read block size; so must the duplex facts. The tokenizer under it must give every
// byte to exactly one token, the same tokens for every block size; the page text is the bytes of
// the text tokens.
#include "FuzzCheck.h"
#include "pcljob/ByteSource.h"
#include "pcljob/PageText.h"
#include "pcljob/PclTokenizer.h"
#include "pcljob/PclJob.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

using kuvrion::fuzz::Check;

namespace {

struct Table {
    std::int32_t pages = 0;
    std::vector<std::int64_t> seek;
    std::vector<std::int64_t> size;
    std::string head;
    std::string foot;
    std::int64_t escapes = 0;
    std::vector<bool> formFeed; // per page
    kuvrion::DuplexMode duplex = kuvrion::DuplexMode::None;
    bool duplexInPage1 = false;
    bool duplexSwitches = false;
    std::string language;

    bool operator==(const Table&) const = default;
};

Table Scan(std::string_view data, std::size_t blockSize, std::string& progressOrder)
{
    kuvrion::PclJob pcl(blockSize);
    std::int64_t lastValue = 0;
    pcl.SetProgressHandler([&](std::int32_t phase, std::int64_t progress, bool&) {
        progressOrder += static_cast<char>('0' + phase);
        if (phase == 0) {
            Check(progress == static_cast<std::int64_t>(data.size()), "status 0 carries FileSize");
        } else if (phase == 1) {
            Check(progress >= lastValue && progress >= 1, "page starts reported in order");
            lastValue = progress;
        }
    });
    Check(pcl.Connect(kuvrion::MakeMemorySource(std::string(data)), "fuzz").has_value(),
          "a memory job always connects");
    Check(pcl.Connected(), "connected after Connect");
    Check(pcl.FileSize() == static_cast<std::int64_t>(data.size()), "FileSize is the length");

    Table t;
    t.pages = pcl.Pages();
    t.head = pcl.PclJobHead();
    t.foot = pcl.PclJobFoot();
    t.escapes = pcl.FileEscapes();
    t.duplex = pcl.Duplex();
    t.duplexInPage1 = pcl.DuplexSelectedInPage1();
    t.duplexSwitches = pcl.DuplexSwitches();
    t.language = pcl.Language().Label();
    for (std::int32_t n = 1; n <= t.pages; ++n) {
        t.seek.push_back(pcl.PageSeek(n).value());
        t.size.push_back(pcl.PageSize(n).value());
        t.formFeed.push_back(pcl.PageEndsWithFormFeed(n));
    }
    std::string page;
    Check(!pcl.PageSeek(0) && !pcl.PageSize(0) && !pcl.ReadPage(0, page), "page 0 is invalid");
    Check(!pcl.PageSeek(t.pages + 1) && !pcl.ReadPage(t.pages + 1, page),
          "page Pages + 1 is invalid");
    // Every page reads back as the bytes of the job at its place.
    for (std::int32_t n = 1; n <= t.pages && n <= 16; ++n) {
        const auto& seek = t.seek[static_cast<std::size_t>(n) - 1];
        const auto& size = t.size[static_cast<std::size_t>(n) - 1];
        Check(seek >= 1 && size >= 0 && seek + size - 1 <= pcl.FileSize(), "page inside the file");
        Check(pcl.ReadPage(n, page) && page == data.substr(static_cast<std::size_t>(seek) - 1,
                                                           static_cast<std::size_t>(size)),
              "ReadPage reads the page's bytes");
    }
    pcl.Disconnect();
    Check(!pcl.Connected() && pcl.Pages() == 0 && pcl.PclJobHead().empty(),
          "Disconnect forgets the job");
    return t;
}

void CheckInvariants(std::string_view data, const Table& t)
{
    // Head, then every page with the FF that ended it, then the foot: the whole job. A page 1
    // that held only the head is dropped, its FF stays between the head and page 2; the last page
    // may have no FF of its own.
    Check(data.substr(0, t.head.size()) == t.head, "the head is the start of the job");
    std::size_t pos = t.head.size(); // 0-based
    const bool droppedPage1 = t.pages > 0
                                  ? static_cast<std::size_t>(t.seek[0]) == pos + 2
                                  : !t.head.empty() && pos + 1 + t.foot.size() == data.size();
    if (droppedPage1) {
        Check(data[pos] == '\f', "a dropped page 1 leaves its FF");
        ++pos;
    }
    for (std::size_t i = 0; i < t.seek.size(); ++i) {
        Check(static_cast<std::size_t>(t.seek[i]) == pos + 1, "each page follows the one before");
        pos += static_cast<std::size_t>(t.size[i]);
        Check(pos <= data.size(), "page inside the file");
        if (t.formFeed[i]) {
            Check(pos < data.size() && data[pos] == '\f', "PageSeek + PageSize is an FF");
            ++pos;
        }
    }
    Check(data.substr(pos) == t.foot, "the foot is the rest of the job");
    if (!t.head.empty()) {
        Check(t.head.ends_with("\x1b"
                               "E") ||
                  t.head.find("\x1b%-") != std::string::npos, // a UEL, "-012345X" too
              "the head ends at a printer reset or is a PJL block");
    }
    Check(std::all_of(t.language.begin(), t.language.end(),
                      [](char c) { return c >= 32 && c < 127; }),
          "the language is printable ASCII");
}

// Every token, pieces of one run joined: kind, 0-based offset, length.
struct TokenList : kuvrion::PclTokenSink {
    struct Token {
        char kind;
        std::int64_t at;
        std::int64_t len;
        bool operator==(const Token&) const = default;
    };
    std::vector<Token> tokens;
    std::string text;

    void Add(char kind, std::int64_t at, std::int64_t len, bool joins)
    {
        if (joins && !tokens.empty() && tokens.back().kind == kind &&
            tokens.back().at + tokens.back().len == at) {
            tokens.back().len += len;
        } else {
            tokens.push_back({kind, at, len});
        }
    }
    void Text(std::int64_t at, const unsigned char* p, std::size_t n)
    {
        Add('t', at, static_cast<std::int64_t>(n), true);
        text.append(reinterpret_cast<const char*>(p), n);
    }
    void FormFeed(std::int64_t at)
    {
        Add('f', at, 1, false);
        text += '\f';
    }
    void Escape(std::int64_t at, std::int64_t n, unsigned char) { Add('e', at, n, false); }
    void Command(const kuvrion::PclCommand& c) { Add('c', c.offset, c.length, false); }
    void Data(std::int64_t at, const unsigned char*, std::int64_t n, const kuvrion::PclCommand&)
    {
        Add('d', at, n, true);
    }
    void Hpgl(std::int64_t at, const unsigned char*, std::size_t n)
    {
        Add('h', at, static_cast<std::int64_t>(n), true);
    }
    void PjlLine(std::int64_t at, const unsigned char*, std::size_t n)
    {
        Add('p', at, static_cast<std::int64_t>(n), true);
    }
    void Cut(std::int64_t at, std::int64_t n) { Add('x', at, n, false); }
};

TokenList Tokens(std::string_view data, std::size_t blockSize)
{
    TokenList list;
    kuvrion::PclTokenizer tokenizer;
    const auto* bytes = reinterpret_cast<const unsigned char*>(data.data());
    while (tokenizer.Position() < static_cast<std::int64_t>(data.size())) {
        const auto at = static_cast<std::size_t>(tokenizer.Position());
        tokenizer.Feed(bytes + at, std::min(blockSize, data.size() - at), list);
        tokenizer.SkipData(static_cast<std::int64_t>(data.size()) - tokenizer.Position(), list);
    }
    tokenizer.Finish(list);
    return list;
}

void CheckTokens(std::string_view data)
{
    const TokenList whole = Tokens(data, data.size() + 1);
    std::int64_t at = 0;
    for (const auto& token : whole.tokens) {
        Check(token.at == at && token.len > 0, "each token follows the one before, not empty");
        at += token.len;
    }
    Check(at == static_cast<std::int64_t>(data.size()), "the tokens cover the whole job");
    for (const std::size_t block : {1, 3, 7}) {
        Check(Tokens(data, block).tokens == whole.tokens, "the tokens do not depend on the block");
    }
    std::string pageText;
    kuvrion::AppendPageText(data, pageText);
    Check(pageText == whole.text, "the page text is the bytes of the text tokens");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size)
{
    const std::string_view data(reinterpret_cast<const char*>(bytes), size);

    std::string order;
    // The historical block size; the default one behaves alike but costs a large buffer per run.
    const Table t = Scan(data, 2048, order);
    if (!data.empty()) {
        Check(order.size() >= 3 && order.front() == '0' && order.back() == '2' &&
                  order.find_first_not_of('1', 1) == order.size() - 1,
              "progress runs 0, 1 per page end and at the end, 2");
    } else {
        Check(order.empty() && t.pages == 0, "an empty job is not scanned");
    }
    CheckInvariants(data, t);
    CheckTokens(data);

    // A tiny block puts every sequence and every data run across block boundaries.
    std::string ignored;
    Check(Scan(data, 3, ignored) == t, "block size 3 gives the same table");

    return 0;
}
