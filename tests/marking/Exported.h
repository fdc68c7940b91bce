// Addressees from page lists and the marked job the export writes for them, as one string.
#pragma once

#include "addressees/AddresseeList.h"
#include "marking/ExportWriter.h"
#include "marking/Verify.h"
#include "pcljob/ByteSource.h"
#include "pcljob/PclJob.h"
#include "settings/Settings.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace kuvrion::test {

// Addressee i gets the pages letters[i]; its ID is ids[i], or i when no IDs are given.
inline void AddLetters(AddresseeList& persons, const std::vector<std::vector<std::int32_t>>& letters,
                       const std::vector<std::string>& ids = {})
{
    for (std::size_t i = 0; i < letters.size(); ++i) {
        const auto p = persons.FindOrAdd(ids.empty() ? std::to_string(i) : ids[i]);
        for (const std::int32_t n : letters[i])
            ASSERT_TRUE(p->AddPage(n));
    }
}

// Exports the first `count` addressees into `out`.
inline Result<void> ExportInto(std::string& out, const PclJob& src, const AddresseeList& persons,
                               const Settings& s, ExportStats& stats, std::int32_t count = 1000)
{
    out.clear();
    const auto sink = [&out](std::string_view b) {
        out.append(b);
        return true;
    };
    return ExportJob(src, persons, count, s, sink, nullptr, stats);
}

// The check of a marked job, with the envelopes of its export when they are known. It is made
// both ways, page by page and in the scan's one pass, and both must find the same.
inline VerifyReport Verified(const std::string& marked, const Settings& s,
                             const std::vector<Envelope>* known = nullptr,
                             std::optional<std::uint32_t> seqStart = std::nullopt)
{
    PclJob m;
    EXPECT_TRUE(m.Connect(MakeMemorySource(marked), "marked.pcl"));
    VerifyReport r;
    EXPECT_TRUE(VerifyMarkedJob(m, s, r, {}, known, seqStart));

    const TempDir dir;
    const std::string path = (dir.Path() / "marked.pcl").string();
    std::ofstream(path, std::ios::binary) << marked;
    PclJob onePass;
    VerifyMarked check(s);
    VerifyReport r1;
    EXPECT_TRUE(check.Connect(onePass, path));
    EXPECT_TRUE(check.Finish(onePass, r1, known, seqStart));
    const auto same = [](const VerifyProblem& a, const VerifyProblem& b) {
        return a.sheet == b.sheet && a.kind == b.kind && a.detail == b.detail &&
               a.found == b.found && a.expected == b.expected;
    };
    EXPECT_TRUE(r1.sheets == r.sheets && r1.envelopeSheets == r.envelopeSheets &&
                std::equal(r1.problems.begin(), r1.problems.end(), r.problems.begin(),
                           r.problems.end(), same))
        << "the one-pass check differs from the check page by page";
    return r;
}

} // namespace kuvrion::test
