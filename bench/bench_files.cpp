// Makes the data files for measuring the whole programs from outside, and measures the floor
// a search cannot beat: one memchr pass over the same bytes already in memory.
//
//   nota_bench_files text PATH COUNT BYTES   COUNT textlets of BYTES bytes of prose each,
//                                            1,000 to a folder, laid out as compacted
//   nota_bench_files items PATH COUNT        COUNT textlets of about 100 bytes each
//   nota_bench_files memchr PATH             median of 5 memchr passes over PATH's bytes in
//                                            memory, for a byte that is not in them
//   nota_bench_files search PATH PATTERN     median of 5 searches for PATTERN over PATH's
//                                            bytes in memory, with each kernel, with and
//                                            without match case

#include "BenchFiles.h"

#include "app/PatternSearch.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

int MakeTexts(const std::string& path, std::size_t count, std::size_t bytes) {
    benchfiles::Tree tree;
    benchfiles::MakeTree(tree, count);
    std::vector<std::string> texts;
    for (unsigned s = 0; s < 64; ++s)
        texts.push_back(benchfiles::Prose(s, bytes));
    benchfiles::WriteFile(
        path, tree, [&](std::size_t i) -> const std::string& { return texts[i % texts.size()]; },
        benchfiles::Layout::InOrder);
    std::printf("made %s: %zu textlets, %.3f GB\n", path.c_str(), count,
                static_cast<double>(std::filesystem::file_size(path)) / 1e9);
    return 0;
}

std::vector<char> ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<char>((std::istreambuf_iterator<char>(in)),
                             std::istreambuf_iterator<char>());
}

int Search(const std::string& path, const std::string& pattern) {
    std::vector<char> bytes = ReadAll(path);
    const char* names[] = {"scalar", "sse2", "avx2"};
    for (vscan::Kernel k : {vscan::Kernel::Scalar, vscan::Kernel::Sse2, vscan::Kernel::Avx2}) {
        if (!vscan::Supported(k))
            continue;
        for (bool matchCase : {true, false}) {
            CPatternSearch s;
            s.UseKernel(k);
            s.Init(pattern, matchCase);
            std::vector<double> times;
            std::ptrdiff_t hit = -1;
            for (int run = 0; run < 6; ++run) {
                auto t0 = std::chrono::steady_clock::now();
                hit = s.FindForward(bytes.data(), bytes.size());
                double t =
                    std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
                if (run > 0)
                    times.push_back(t);
            }
            std::sort(times.begin(), times.end());
            std::printf("%-6s %-13s median %.4f s, %.2f GB/s%s\n", names[static_cast<int>(k)],
                        matchCase ? "match case" : "no match case", times[2],
                        static_cast<double>(bytes.size()) / times[2] / 1e9,
                        hit >= 0 ? " (found)" : "");
        }
    }
    return 0;
}

int Memchr(const std::string& path) {
    std::vector<char> bytes = ReadAll(path);
    std::vector<double> times;
    std::size_t hits = 0;
    for (int run = 0; run < 6; ++run) {
        auto t0 = std::chrono::steady_clock::now();
        hits = 0; // a byte prose never has: the few in the file's own fields are passed over
        const char* end = bytes.data() + bytes.size();
        for (const char* p = bytes.data(); p < end; ++p, ++hits) {
            p = static_cast<const char*>(std::memchr(p, 0xFE, static_cast<std::size_t>(end - p)));
            if (!p)
                break;
        }
        double s = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (run > 0)
            times.push_back(s);
    }
    std::sort(times.begin(), times.end());
    std::printf("memchr over %zu bytes in memory: median %.4f s, %.2f GB/s (%zu stops)\n",
                bytes.size(), times[2], static_cast<double>(bytes.size()) / times[2] / 1e9, hits);
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    std::string what = argc > 1 ? argv[1] : "";
    if (what == "text" && argc == 5)
        return MakeTexts(argv[2], std::strtoul(argv[3], nullptr, 10),
                         std::strtoul(argv[4], nullptr, 10));
    if (what == "items" && argc == 4)
        return MakeTexts(argv[2], std::strtoul(argv[3], nullptr, 10), 100);
    if (what == "memchr" && argc == 3)
        return Memchr(argv[2]);
    if (what == "search" && argc == 4)
        return Search(argv[2], argv[3]);
    std::fprintf(stderr, "usage: nota_bench_files text PATH COUNT BYTES | items PATH COUNT | "
                         "memchr PATH | search PATH PATTERN\n");
    return 2;
}
