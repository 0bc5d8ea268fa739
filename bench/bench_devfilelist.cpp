// The choice of the product's row in a device-file list of 50 MB whose row
// is on line 2, timed with the peak memory it takes above the start.
// Targets: under 50 ms and under 20 MB.
//
// BM_ListChoice50MB is the page's read: the list is far above the bound and
// refused before it is read. BM_ListChoice50MBUnbounded reads the same list
// with the bound lifted, as a list just under it is read: line by line, up
// to the row on line 2 and no further.

#include <benchmark/benchmark.h>

#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include "firmware/devfilelist.h"

namespace {

constexpr qint64 kListBytes = 50 * 1024 * 1024;

// Peak resident memory of the process so far, in bytes.
double peakRssBytes()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) * 1024.0; // Linux reports KiB
}

// The 50 MB list, written piece by piece so that writing it raises no peak.
const QString& listPath()
{
    static QTemporaryDir dir;
    static const QString path = dir.filePath(QStringLiteral("devFileList.csv"));
    static bool written = false;
    if (!written) {
        QFile out(path);
        out.open(QIODevice::WriteOnly);
        out.write("ITEM,NAME,TEST_FILE,LINK_TEST_FILE,RELEASE_FILE,LINK_RELEASE_FILE\n"
                  "P_FLY-ESC,esc,fw_test.db,http://h/fw_test.db,fw.db,http://h/fw.db\n");
        QByteArray block;
        while (block.size() < 64 * 1024)
            block += "P_OTHER,other product,o_test.db,http://h/o_test.db,o.db,http://h/o.db\n";
        while (out.size() < kListBytes)
            out.write(block);
        written = true;
    }
    return path;
}

void choose(benchmark::State& state, qint64 maxBytes, devfilelist::Outcome expected)
{
    const QString path = listPath();
    const double startRss = peakRssBytes();
    for (auto _ : state) {
        QFile file(path);
        file.open(QIODevice::ReadOnly | QIODevice::Text);
        const auto choice = devfilelist::chooseRow(file, devfilelist::releaseColumns(), devfilelist::productKey(),
                                                   maxBytes);
        if (choice.outcome != expected)
            state.SkipWithError("unexpected outcome");
        benchmark::DoNotOptimize(choice);
    }
    state.counters["list_MB"] = double(QFile(path).size()) / (1024 * 1024);
    state.counters["peak_MB_above_start"] = (peakRssBytes() - startRss) / (1024 * 1024);
}

void BM_ListChoice50MB(benchmark::State& state)
{
    choose(state, devfilelist::kMaxListBytes, devfilelist::Outcome::TooLarge);
}

void BM_ListChoice50MBUnbounded(benchmark::State& state)
{
    choose(state, kListBytes * 2, devfilelist::Outcome::Matched);
}

} // namespace

BENCHMARK(BM_ListChoice50MB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ListChoice50MBUnbounded)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
