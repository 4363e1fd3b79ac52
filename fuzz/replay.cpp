// Replays saved inputs through a fuzz target's entry function, outside libFuzzer:
//   fuzz_replay_<target> PATH...
// The build names the entry function (PIPENET_REPLAY_ENTRY) and the target (PIPENET_REPLAY_NAME);
// a PATH that is a folder stands for every file in it. A broken rule aborts; otherwise the program
// prints how many inputs it ran and exits 0. A run that finds no input at all fails, so that a
// moved folder cannot pass unnoticed.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/harness.hpp"

namespace {

using Entry = void (*)(const std::uint8_t*, std::size_t);

void run_file(Entry entry, const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<std::uint8_t> data(bytes.begin(), bytes.end());
    entry(data.data(), data.size());
}

} // namespace

int main(int argc, char** argv) {
    const Entry entry = pipenet::fuzz::PIPENET_REPLAY_ENTRY;
    if (argc < 2) {
        std::fprintf(stderr, "usage: fuzz_replay_%s PATH...\n", PIPENET_REPLAY_NAME);
        return 2;
    }
    std::size_t count = 0;
    for (int i = 1; i < argc; ++i) {
        std::filesystem::path path(argv[i]);
        std::vector<std::filesystem::path> files;
        if (std::filesystem::is_directory(path)) {
            for (const auto& item : std::filesystem::directory_iterator(path))
                if (item.is_regular_file() && item.path().filename().string()[0] != '.')
                    files.push_back(item.path());
            std::sort(files.begin(), files.end());
        } else if (std::filesystem::exists(path)) {
            files.push_back(path);
        }
        for (const auto& file : files) {
            run_file(entry, file);
            ++count;
        }
    }
    std::printf("fuzz_replay_%s: %zu inputs, no rule broken\n", PIPENET_REPLAY_NAME, count);
    return count > 0 ? 0 : 1;
}
