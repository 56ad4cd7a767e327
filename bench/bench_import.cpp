// Import speed: `orvalis-cli FILE summary` as a whole process on ROWS cases x 10 variables.
//
// Usage: bench_import [FILE] [RUNS] [ROWS]
// Generates FILE (default /tmp/orvalis-bench-1m.txt) of ROWS lines (default
// 1,000,000) when it does not exist: space delimited, 4-decimal values around
// 50, 2% "." missing, CR LF line ends; beside it FILE.quoted.csv, the same
// values as a spreadsheet may export them: comma delimited, every field in
// double quotes, a missing value as "". Prints the median wall time and peak
// memory of RUNS (default 5) runs, next to `wc -l FILE` as a baseline and, when
// R with data.table is installed, data.table::fread with 2 threads (the time of
// the fread call inside R, R's start not counted), each measured in the same
// runs, interleaved; then the in-process import with one thread and all cores.
#include "data/DataImport.h"
#include "data/FileContent.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

void generate(const std::string& path, long rows, bool quoted)
{
    std::mt19937_64 random(42);
    std::normal_distribution<double> value(50.0, 10.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::ofstream out(path, std::ios::binary);
    std::string line;
    char cell[32];
    for (long row = 0; row < rows; ++row) {
        line.clear();
        for (int column = 0; column < 10; ++column) {
            if (column > 0) {
                line.push_back(quoted ? ',' : ' ');
            }
            if (unit(random) < 0.02) {
                line += quoted ? "\"\"" : ".";
            } else {
                std::snprintf(cell, sizeof cell, quoted ? "\"%.4f\"" : "%.4f", value(random));
                line += cell;
            }
        }
        line += "\r\n";
        out << line;
    }
}

struct Sample {
    double seconds;
    long peakKilobytes;
};

Sample runProcess(const std::vector<std::string>& args)
{
    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    const auto stop = std::chrono::steady_clock::now();
    posix_spawn_file_actions_destroy(&actions);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", args[0].c_str());
        std::exit(1);
    }
    return {std::chrono::duration<double>(stop - start).count(), usage.ru_maxrss};
}

template <typename T>
T median(std::vector<T> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    const std::string path = argc > 1 ? argv[1] : "/tmp/orvalis-bench-1m.txt";
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const long rows = argc > 3 ? std::max(1L, std::atol(argv[3])) : 1000000L;
    if (!std::filesystem::exists(path)) {
        std::printf("generating %s ...\n", path.c_str());
        generate(path, rows, false);
    }
    const std::string quotedPath = path + ".quoted.csv";
    if (!std::filesystem::exists(quotedPath)) {
        std::printf("generating %s ...\n", quotedPath.c_str());
        generate(quotedPath, rows, true);
    }
    const bool haveFread = std::system("Rscript -e 'library(data.table)' >/dev/null 2>&1") == 0;
    const std::string freadScript =
        "suppressMessages(library(data.table)); setDTthreads(2); "
        "t <- system.time(d <- fread('"
        + path
        + "', header = FALSE, na.strings = '.', sep = ' '))[['elapsed']]; "
          "stopifnot(ncol(d) == 10, is.numeric(d[[1]])); cat(t, file = '/tmp/orvalis-fread-time')";
    const double megabytes = static_cast<double>(std::filesystem::file_size(path)) / 1e6;

    std::vector<double> cliTimes, wcTimes, freadTimes, quotedTimes;
    std::vector<long> cliPeaks;
    for (int run = 0; run < runs; ++run) {
        const Sample cli = runProcess({ORVALIS_CLI_PATH, path, "summary"});
        const Sample wc = runProcess({"/usr/bin/wc", "-l", path});
        const Sample quoted = runProcess({ORVALIS_CLI_PATH, "--delimiter", "comma", quotedPath, "summary"});
        quotedTimes.push_back(quoted.seconds);
        cliTimes.push_back(cli.seconds);
        cliPeaks.push_back(cli.peakKilobytes);
        wcTimes.push_back(wc.seconds);
        if (haveFread) {
            runProcess({"/usr/bin/Rscript", "-e", freadScript});
            double seconds = 0;
            std::ifstream("/tmp/orvalis-fread-time") >> seconds;
            freadTimes.push_back(seconds);
        }
    }

    std::vector<double> oneThread, allCores;
    {
        const orvalis::FileContent file(path);
        for (int run = 0; run < runs; ++run) {
            for (unsigned threads : {1u, 0u}) {
                orvalis::ImportOptions options;
                options.threads = threads;
                const auto start = std::chrono::steady_clock::now();
                const auto outcome = orvalis::importDataBuffer(file.bytes(), orvalis::Delimiter::Space, options);
                const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                if (!outcome.ok()) {
                    std::fprintf(stderr, "import failed: %s\n", outcome.refusal().message.c_str());
                    return 1;
                }
                (threads == 1 ? oneThread : allCores).push_back(seconds);
            }
        }
    }

    long lines = 0;
    {
        std::ifstream in(path, std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            ++lines;
        }
    }
    const double tableMegabytes = (static_cast<double>(lines) + 1.0) * 11 * 4 / 1e6;
    std::printf("file: %s (%.1f MB), median of %d runs\n", path.c_str(), megabytes, runs);
    std::printf("orvalis-cli FILE summary      %.3f s   peak %.1f MB (table %.1f MB)\n", median(cliTimes),
                static_cast<double>(median(cliPeaks)) / 1024.0, tableMegabytes);
    std::printf("baseline wc -l FILE           %.3f s\n", median(wcTimes));
    std::printf("the same, quoted CSV          %.3f s   quoted / plain = %.2f\n", median(quotedTimes),
                median(quotedTimes) / median(cliTimes));
    if (haveFread) {
        std::printf("data.table::fread, 2 threads  %.3f s   orvalis-cli / fread = %.2f\n", median(freadTimes),
                    median(cliTimes) / median(freadTimes));
    } else {
        std::printf("data.table::fread             (R with data.table is not installed)\n");
    }
    std::printf("in-process import, 1 thread   %.3f s\n", median(oneThread));
    std::printf("in-process import, all cores  %.3f s\n", median(allCores));
    return 0;
}
