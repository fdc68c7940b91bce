// Replays inputs through a fuzz target without libFuzzer, so every build runs the seed corpus as a
// test. Arguments are files or folders of files (replayed in sorted order); an argument that names
// no input fails, so a lost corpus cannot pass unnoticed. A broken invariant aborts.
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
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s CORPUS_FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    std::vector<fs::path> files;
    for (int i = 1; i < argc; ++i) {
        std::error_code ec;
        const auto before = files.size();
        if (fs::is_regular_file(argv[i], ec)) {
            files.emplace_back(argv[i]);
        }
        for (const auto& e : fs::directory_iterator(argv[i], ec)) { // none for a file
            files.push_back(e.path());
        }
        if (files.size() == before) {
            std::fprintf(stderr, "no inputs in %s\n", argv[i]);
            return 1;
        }
    }
    std::sort(files.begin(), files.end());
    for (const auto& file : files) {
        // A copy of exactly the input's size, so reads past its end are caught by the sanitizers.
        std::ifstream in(file, std::ios::binary);
        const std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                              std::istreambuf_iterator<char>()};
        std::fprintf(stderr, "replaying %s (%zu bytes)\n", file.c_str(), bytes.size());
        LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
    }
    std::fprintf(stderr, "%zu inputs replayed without a finding\n", files.size());
    return 0;
}
