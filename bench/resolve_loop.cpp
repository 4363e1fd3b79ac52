// The re-solve loop through the C library, as a C program would write it: set one diameter,
// solve, read the heads, many times. Prints the time per re-solve in microseconds.
//
//     resolve_loop FILE KIND REPEATS     (KIND: inp, lamnet, turbnet)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "pipenet/pipenet.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: resolve_loop FILE inp|lamnet|turbnet REPEATS\n");
        return 2;
    }
    std::FILE* file = std::fopen(argv[1], "rb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 2;
    }
    std::vector<char> text;
    char buffer[4096];
    for (size_t got; (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
        text.insert(text.end(), buffer, buffer + got);
    std::fclose(file);
    const pipenet_file_kind kind = std::strcmp(argv[2], "inp") == 0      ? PIPENET_FILE_INP
                                   : std::strcmp(argv[2], "lamnet") == 0 ? PIPENET_FILE_LAMNET
                                                                         : PIPENET_FILE_TURBNET;
    pipenet_model* model = nullptr;
    if (pipenet_model_read(text.data(), text.size(), kind, &model) != PIPENET_OK) {
        std::fprintf(stderr, "%s: unreadable\n", argv[1]);
        return 1;
    }
    const long repeats = std::atol(argv[3]);
    std::vector<double> heads(pipenet_model_node_count(model));
    double checksum = 0.0;
    const auto start = std::chrono::steady_clock::now();
    for (long i = 0; i < repeats; ++i) {
        pipenet_model_set_diameter(model, 0, i % 2 == 0 ? 0.30 : 0.25);
        const pipenet_status status = pipenet_model_solve(model);
        if (status != PIPENET_OK) {
            std::fprintf(stderr, "solve %ld: %s\n", i, pipenet_status_text(status));
            return 1;
        }
        pipenet_model_heads(model, heads.data(), heads.size());
        checksum += heads.back();
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("C: %.2f us per re-solve (%ld re-solves, %zu nodes, checksum %.6f)\n",
                seconds / static_cast<double>(repeats) * 1e6, repeats, heads.size(), checksum);
    pipenet_model_free(model);
    return 0;
}
