// Replays inputs through a fuzz target without libFuzzer, so every build runs the seed corpus as a
// test. Arguments are files or folders (searched recursively); a missing argument or no input at
// all fails, so a lost corpus cannot pass unnoticed. A broken invariant aborts.
#include "base/Platform.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

int main(int argc, char** argv)
{
    namespace fs = std::filesystem;
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        if (fs::is_regular_file(argv[i], ec)) {
            files.emplace_back(argv[i]);
        } else if (!fs::is_directory(argv[i], ec)) {
            std::fprintf(stderr, "no such corpus: %s\n", argv[i]);
            return 1;
        }
        for (const auto& e : fs::recursive_directory_iterator(argv[i], ec)) {
            if (e.is_regular_file()) {
                files.push_back(e.path());
            }
        }
    }
    std::sort(files.begin(), files.end()); // the same order on every machine
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER_OR_FILE... (with at least one input)\n",
                     argv[0]);
        return 2;
    }
    for (const auto& file : files) {
        std::ifstream in(file, std::ios::binary);
        // A copy of exactly the input's size, so reads past its end are caught by the sanitizers.
        std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                        std::istreambuf_iterator<char>()};
        if (!in && !in.eof()) {
            std::fprintf(stderr, "cannot read %s\n", kuvrion::PathToUtf8(file).c_str());
            return 1;
        }
        std::fprintf(stderr, "replaying %s (%zu bytes)\n", kuvrion::PathToUtf8(file).c_str(),
                     bytes.size());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::fprintf(stderr, "%zu inputs replayed without a finding\n", files.size());
    return 0;
}
