#include "addressees/ImportPass.h"

#include "addressees/ImportLog.h"
#include "addressees/cKVPersons.h"
#include "app/Helpers.h"
#include "pcljob/cPclMod.h"
#include "settings/Settings.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <new>
#include <stdexcept>

namespace kuvrion {

namespace {

void AppendDecimal(std::string& out, std::int64_t n)
{
    char buf[24];
    const auto res = std::to_chars(buf, buf + sizeof buf, n);
    out.append(buf, res.ptr);
}

std::string Decimal(std::int64_t n)
{
    std::string s;
    AppendDecimal(s, n);
    return s;
}

// Why the pass stopped; the description is German, for the message box.
struct PassFailure {
    std::string description;
};

} // namespace

std::string FormatLogTime(std::time_t t)
{
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return "00.00.0000 00:00";
    char buf[80]; // room for any int, though the fields are small
    std::snprintf(buf, sizeof buf, "%02d.%02d.%04d %02d:%02d", tm.tm_mday, tm.tm_mon + 1,
                  tm.tm_year + 1900, tm.tm_hour, tm.tm_min);
    return buf;
}

ImportResult RunImportPass(cPclMod& pcl, const std::string& srcFile, const Settings& s,
                           cKVPersons& persons, ImpErrCounters& nImpErr, ImportLog& log,
                           std::time_t startTime, const ImportHooks& hooks)
{
    ImportResult result;
    auto write = [&log](std::string_view text) {
        if (!log.Write(text))
            throw PassFailure{"Das Logfile konnte nicht geschrieben werden: " + log.Error()};
    };

    try {
        persons.Clear();
        write(std::string("Log:\t").append(kProductName).append("\r\n"));
        write("Quelle:\t" + Utf8ToCp1252(srcFile) + "\r\n");
        write("Import:\t" + FormatLogTime(startTime) + "\r\n");

        // The scan's own failures are not examined: an unreadable job simply has no pages.
        pcl.Connect(srcFile);
        result.nJobPages = pcl.Pages();
        if (hooks.onPagesKnown)
            hooks.onPagesKnown(result.nJobPages);
        write("Seiten:\t" + Decimal(result.nJobPages) + "\r\n\r\n");

        // Reset also for an empty job, so its status shows no faults of an earlier import.
        nImpErr.fill(0);
        if (result.nJobPages > 0) {
            write("Seite\tAdrID\tAdrS.\tKey\r\n");
            if (hooks.onCollectStart)
                hooks.onCollectStart(result.nJobPages);

            std::shared_ptr<cKVPerson> current;
            std::string page;
            PageScratch scratch;
            std::string id;
            std::string line;
            for (std::int32_t i = 1; i <= result.nJobPages; ++i) {
                if (hooks.onPage)
                    hooks.onPage(i);
                line.clear();
                AppendDecimal(line, i);
                line += '\t';
                write(line);

                if (!pcl.ReadPage(i, page))
                    throw PassFailure{"Seite " + Decimal(i) + " konnte nicht gelesen werden: " +
                                      DescribeErrno(pcl.ReadError() != 0 ? pcl.ReadError() : EIO)};
                std::int64_t keyLen = 0;
                FindAdrKey(GetPageText(page, scratch), s, keyLen, id, &nImpErr);

                line.assign(id);
                line += '\t';
                write(line);

                line.clear();
                if (!id.empty() || current) {
                    if (!id.empty())
                        current = persons.PersonByID(id);
                    try {
                        current->AddPage(i);
                    } catch (const std::overflow_error&) {
                        throw PassFailure{"Seite " + Decimal(i) +
                                          ": Ein Adressat kann höchstens 32767 Seiten haben."};
                    }
                    ++result.nImpAssigned;
                    AppendDecimal(line, current->Pages());
                    line += id.empty() ? "\t+" : "\tok";
                } else {
                    line = "?\t?";
                }
                write(line);
                write("\r\n");
            }
        }

        if (result.nJobPages > 0)
            write("\r\nAdr.:\t" + Decimal(persons.Count()) + "\r\n");
        if (!log.Close())
            throw PassFailure{"Das Logfile konnte nicht geschrieben werden: " + log.Error()};
        result.completed = true;
    } catch (const PassFailure& f) {
        result.failed = true;
        result.failure = f.description;
    } catch (const std::bad_alloc&) {
        result.failed = true;
        result.failure = "Nicht genügend Arbeitsspeicher für den Import.";
    }
    log.Close(); // harmless when already closed; a log that failed stays as far as it got
    return result;
}

} // namespace kuvrion
