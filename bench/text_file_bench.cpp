// Measures how fast the text reader splits a large file into lines.
// Usage: text_file_bench [megabytes] [file]. Writes a GPX-like file of that size (default
// 100 MB) with LF and CR LF lines, reads it a few times, reports the best rate. The first
// read warms the page cache, so the rate is that of memory, not of the disk.

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/output_file.hpp"
#include "base/text_file.hpp"

int main(int argc, char** argv) {
    const long megabytes = argc > 1 ? std::atol(argv[1]) : 100;
    const std::string path = argc > 2 ? argv[2] : "/tmp/omvo-text-file-bench.txt";
    {
        std::remove(path.c_str());  // the file is made anew
        omvo::base::OutputFile out(path);
        const std::string point =
            "   <trkpt lat=\"54.712345\" lon=\"20.512345\">\n    <ele>12.4</ele>\r\n"
            "    <time>2012-05-01T10:00:00Z</time>\n   </trkpt>\n";
        std::size_t written = 0;
        while (written < static_cast<std::size_t>(megabytes) * 1000 * 1000) {
            out.Write(point);
            written += point.size();
        }
        out.Close();
    }
    double best = 1e9;
    long lines = 0;
    std::size_t bytes = 0;
    for (int round = 0; round < 5; ++round) {
        auto start = std::chrono::steady_clock::now();
        omvo::base::TextFile file(path);
        std::string_view line;
        lines = 0;
        bytes = 0;
        while (file.NextLine(line)) {
            ++lines;
            bytes += line.size();
        }
        file.Close();
        double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (seconds < best) best = seconds;
    }
    std::remove(path.c_str());
    std::printf("%ld lines, %zu bytes of text in %.3f s: %.2f GB/s\n", lines, bytes, best,
                static_cast<double>(megabytes) / 1000.0 / best);
    return 0;
}
