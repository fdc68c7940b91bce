// kuvrion-genjob: writes benchmark jobs and the sample jobs.
//
//   kuvrion-genjob text OUT SIZE_MB [--seed N]    text-dense letters
//   kuvrion-genjob raster OUT SIZE_MB [--seed N]  raster-heavy letters (>= 90 % W data)
//   kuvrion-genjob sample-endmarker OUT           sample job, key with end marker (+ OUT.ini)
//   kuvrion-genjob sample-fixed OUT               sample job, key of fixed length (+ OUT.ini)
//
// Exit status 0 on success, 1 on a write error, 2 on bad arguments.

#include "JobGenerator.h"

#include <charconv>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace {

using kuvrion::bench::JobGenerator;

int Usage()
{
    std::cerr << "Aufruf:\n"
                 "  kuvrion-genjob text OUT SIZE_MB [--seed N]\n"
                 "  kuvrion-genjob raster OUT SIZE_MB [--seed N]\n"
                 "  kuvrion-genjob sample-endmarker OUT\n"
                 "  kuvrion-genjob sample-fixed OUT\n";
    return 2;
}

bool ParseNumber(const std::string& s, std::uint64_t& v)
{
    const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
    return r.ec == std::errc() && r.ptr == s.data() + s.size();
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

// Writes through a temporary file beside `path`, renamed over it at the end.
bool WriteFile(const std::string& path, const std::function<bool(const JobGenerator::Sink&)>& body)
{
    const std::string tmp = path + ".tmp";
    bool ok = false;
    {
        std::unique_ptr<std::FILE, FileCloser> f(std::fopen(tmp.c_str(), "wb"));
        if (!f) {
            std::perror(tmp.c_str());
            return false;
        }
        std::FILE* raw = f.get();
        ok = body([raw](std::string_view s) {
            return std::fwrite(s.data(), 1, s.size(), raw) == s.size();
        });
        ok = std::fflush(raw) == 0 && ok;
        ok = std::fclose(f.release()) == 0 && ok;
    }
    std::error_code ec;
    if (ok) {
        std::filesystem::rename(tmp, path, ec);
        ok = !ec;
    }
    if (!ok) {
        std::cerr << "Schreiben fehlgeschlagen: " << path << "\n";
        std::filesystem::remove(tmp, ec);
    }
    return ok;
}

void Report(const std::string& path, const JobGenerator::Stats& s)
{
    std::cerr << path << ": " << s.bytes << " Bytes, " << s.pages << " Seiten, " << s.letters
              << " Briefe, " << s.escapes << " Escape-Sequenzen (alle "
              << (s.escapes ? static_cast<double>(s.bytes) / static_cast<double>(s.escapes) : 0.0)
              << " Bytes), W-Daten "
              << (s.bytes ? 100.0 * static_cast<double>(s.dataBytes) / static_cast<double>(s.bytes)
                          : 0.0)
              << " %\n";
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2) {
        return Usage();
    }
    const std::string& kind = args[0];
    const std::string& out = args[1];

    if (kind == "text" || kind == "raster") {
        std::uint64_t mb = 0;
        std::uint64_t seed = 1;
        if (args.size() < 3 || !ParseNumber(args[2], mb) || mb == 0 || mb > 1024 * 1024) {
            return Usage();
        }
        for (std::size_t i = 3; i < args.size(); ++i) {
            if (args[i] == "--seed" && i + 1 < args.size() && ParseNumber(args[i + 1], seed)) {
                ++i;
            } else {
                return Usage();
            }
        }
        const auto target = static_cast<std::int64_t>(mb) * 1024 * 1024;
        JobGenerator::Stats stats;
        const bool ok = WriteFile(out, [&](const JobGenerator::Sink& sink) {
            JobGenerator gen(sink, seed);
            const bool done = kind == "text" ? gen.TextJob(target) : gen.RasterJob(target);
            stats = gen.GetStats();
            return done;
        });
        if (ok) {
            Report(out, stats);
        }
        return ok ? 0 : 1;
    }

    if ((kind == "sample-endmarker" || kind == "sample-fixed") && args.size() == 2) {
        const bool endMarker = kind == "sample-endmarker";
        JobGenerator::Stats stats;
        bool ok = WriteFile(out, [&](const JobGenerator::Sink& sink) {
            JobGenerator gen(sink, 1);
            const bool done = endMarker ? gen.SampleEndMarker() : gen.SampleFixed();
            stats = gen.GetStats();
            return done;
        });
        const std::string ini = std::filesystem::path(out).replace_extension(".ini").string();
        ok = ok && WriteFile(ini, [&](const JobGenerator::Sink& sink) {
                 return sink(endMarker ? JobGenerator::SampleIni("Kd.-Nr.: ", ";", 5, 0)
                                       : JobGenerator::SampleIni("Kundennummer: ", "", 8, 1));
             });
        if (ok) {
            Report(out, stats);
        }
        return ok ? 0 : 1;
    }
    return Usage();
}
