// Replays inputs through a fuzz target without libFuzzer, so every build runs the seed corpus as a
// test. Arguments are files or folders (searched recursively); a missing argument or a folder
// without any file fails, so a lost corpus cannot pass unnoticed. A broken invariant aborts.
#include "base/Platform.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

bool Replay(const std::filesystem::path& file)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) {
        std::fprintf(stderr, "cannot read %s\n", kuvrion::PathToUtf8(file).c_str());
        return false;
    }
    const std::vector<char> bytes{std::istreambuf_iterator<char>(in),
                                  std::istreambuf_iterator<char>()};
    // A copy of exactly the input's size, so reads past its end are caught by the sanitizers.
    std::vector<std::uint8_t> copy(bytes.begin(), bytes.end());
    std::fprintf(stderr, "replaying %s (%zu bytes)\n", kuvrion::PathToUtf8(file).c_str(),
                 copy.size());
    LLVMFuzzerTestOneInput(copy.data(), copy.size());
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    std::size_t replayed = 0;
    for (int i = 1; i < argc; ++i) {
        const fs::path arg(argv[i]);
        std::error_code ec;
        if (fs::is_directory(arg, ec)) {
            std::vector<fs::path> files;
            for (const auto& e : fs::recursive_directory_iterator(arg, ec)) {
                if (e.is_regular_file()) {
                    files.push_back(e.path());
                }
            }
            std::sort(files.begin(), files.end()); // the same order on every machine
            if (files.empty()) {
                std::fprintf(stderr, "no inputs in %s\n", kuvrion::PathToUtf8(arg).c_str());
                return 1;
            }
            for (const auto& f : files) {
                if (!Replay(f)) {
                    return 1;
                }
                ++replayed;
            }
        } else if (fs::is_regular_file(arg, ec)) {
            if (!Replay(arg)) {
                return 1;
            }
            ++replayed;
        } else {
            std::fprintf(stderr, "no such corpus: %s\n", kuvrion::PathToUtf8(arg).c_str());
            return 1;
        }
    }
    std::fprintf(stderr, "%zu inputs replayed without a finding\n", replayed);
    return 0;
}
