// The job scanner fed from memory: the page table must match the plain model of the job rules,
// hold its invariants (pages in order, none overlapping the head, every page followed by its FF,
// head and foot where the rules put them) and be the same whatever the read block size.
#include "FuzzCheck.h"
#include "PclReference.h"
#include "pcljob/ByteSource.h"
#include "pcljob/cPclMod.h"

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

    bool operator==(const Table&) const = default;
};

Table Scan(std::string_view data, std::size_t blockSize, std::string& progressOrder)
{
    kuvrion::cPclMod pcl(blockSize);
    std::int64_t lastValue = 0;
    pcl.SetProgressHandler([&](std::int32_t nStatus, std::int64_t nValue, bool&) {
        progressOrder += static_cast<char>('0' + nStatus);
        if (nStatus == 0) {
            Check(nValue == static_cast<std::int64_t>(data.size()), "status 0 carries FileSize");
        } else if (nStatus == 1) {
            Check(nValue >= lastValue && nValue >= 1, "page starts reported in order");
            lastValue = nValue;
        }
    });
    Check(pcl.Connect(kuvrion::MakeMemorySource(std::string(data)), "fuzz"),
          "a memory job always connects");
    Check(pcl.Connected(), "connected after Connect");
    Check(pcl.FileSize() == static_cast<std::int64_t>(data.size()), "FileSize is the length");

    Table t;
    t.pages = pcl.Pages();
    t.head = pcl.PclJobHead();
    t.foot = pcl.PclJobFoot();
    t.escapes = pcl.FileEscapes();
    for (std::int32_t n = 1; n <= t.pages; ++n) {
        t.seek.push_back(pcl.PageSeek(n));
        t.size.push_back(pcl.PageSize(n));
    }
    Check(pcl.PageSeek(0) == 0 && pcl.PageSize(0) == 0 && pcl.Page(0).empty(), "page 0 is invalid");
    Check(pcl.PageSeek(t.pages + 1) == 0 && pcl.Page(t.pages + 1).empty(),
          "page Pages + 1 is invalid");
    // Every page reads back as the bytes of the job at its place.
    for (std::int32_t n = 1; n <= t.pages && n <= 16; ++n) {
        const auto& seek = t.seek[static_cast<std::size_t>(n) - 1];
        const auto& size = t.size[static_cast<std::size_t>(n) - 1];
        Check(seek >= 1 && size >= 0 && seek + size <= pcl.FileSize(), "page inside the file");
        Check(pcl.Page(n) ==
                  data.substr(static_cast<std::size_t>(seek) - 1, static_cast<std::size_t>(size)),
              "Page reads the page's bytes");
    }
    pcl.Disconnect();
    Check(!pcl.Connected() && pcl.Pages() == 0 && pcl.PclJobHead().empty(),
          "Disconnect forgets the job");
    return t;
}

void CheckInvariants(std::string_view data, const Table& t)
{
    const auto at = [&](std::int64_t pos1) { return static_cast<unsigned char>(data[pos1 - 1]); };
    for (std::size_t i = 0; i < t.seek.size(); ++i) {
        const std::int64_t end = t.seek[i] + t.size[i]; // 1-based position of the page's FF
        Check(end >= 1 && end <= static_cast<std::int64_t>(data.size()) && at(end) == 12,
              "PageSeek + PageSize is an FF");
        if (i + 1 < t.seek.size()) {
            Check(t.seek[i + 1] == end + 1, "the next page begins right after the FF");
        }
    }
    if (!t.head.empty()) {
        Check(data.substr(0, t.head.size()) == t.head, "the head is the start of the job");
        Check(std::string_view(t.head).find("\x1b"
                                            "E") == t.head.size() - 2,
              "the head ends at its first printer reset");
        Check(t.pages == 0 || t.seek[0] > static_cast<std::int64_t>(t.head.size()),
              "no page overlaps the head");
    } else if (t.pages > 0) {
        Check(t.seek[0] == 1, "without a head page 1 begins at byte 1");
    }
    if (!t.foot.empty()) {
        Check(data.substr(data.size() - t.foot.size()) == t.foot, "the foot ends the job");
        Check(t.foot.starts_with("\x1b"
                                 "E"),
              "the foot begins with a printer reset");
        Check(t.pages == 0 || t.seek.back() + t.size.back() + 1 ==
                                  static_cast<std::int64_t>(data.size() - t.foot.size()) + 1,
              "the foot follows the last page end");
    }
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

    // A tiny block puts every sequence and every data run across block boundaries.
    std::string ignored;
    Check(Scan(data, 3, ignored) == t, "block size 3 gives the same table");

    const kuvrion::fuzz::RefJob model = kuvrion::fuzz::JobModel(data);
    Check(t.pages == model.Pages(), "page count as the rules give it");
    Check(t.head == model.head && t.foot == model.foot, "head and foot as the rules give them");
    Check(t.escapes == model.escapes, "escape count as the rules give it");
    for (std::int32_t n = 1; n <= t.pages && n <= model.Pages(); ++n) {
        const auto i = static_cast<std::size_t>(n) - 1;
        Check(t.seek[i] == model.pageStart[i] &&
                  t.size[i] == model.pageStart[i + 1] - model.pageStart[i] - 1,
              "page table as the rules give it");
    }
    return 0;
}
