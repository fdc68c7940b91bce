// Addressees from page lists and the marked job the export writes for them, as one string.
#pragma once

#include "addressees/cKVPersons.h"
#include "marking/ExportWriter.h"
#include "marking/Verify.h"
#include "pcljob/ByteSource.h"
#include "pcljob/cPclMod.h"
#include "settings/Settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kuvrion::test {

// Addressee i gets the pages letters[i]; its ID is ids[i], or i when no IDs are given.
inline void AddLetters(cKVPersons& persons, const std::vector<std::vector<std::int32_t>>& letters,
                       const std::vector<std::string>& ids = {})
{
    for (std::size_t i = 0; i < letters.size(); ++i) {
        const auto p = persons.PersonByID(ids.empty() ? std::to_string(i) : ids[i]);
        for (const std::int32_t n : letters[i])
            p->AddPage(n);
    }
}

// Exports the first `count` addressees into `out`.
inline std::optional<Failure> ExportInto(std::string& out, const cPclMod& src,
                                         const cKVPersons& persons, const Settings& s,
                                         ExportStats& stats, std::int32_t count = 1000)
{
    out.clear();
    const auto sink = [&out](std::string_view b) {
        out.append(b);
        return true;
    };
    return ExportJob(src, persons, count, s, sink, nullptr, stats);
}

// The check of a marked job, with the envelopes of its export when they are known.
inline VerifyReport Verified(const std::string& marked, const Settings& s,
                             const std::vector<Envelope>* known = nullptr)
{
    cPclMod m;
    EXPECT_TRUE(m.Connect(MakeMemorySource(marked), "marked.pcl"));
    VerifyReport r;
    EXPECT_TRUE(VerifyMarkedJob(m, s, r, {}, known));
    return r;
}

} // namespace kuvrion::test
