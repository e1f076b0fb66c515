// The verdict cache against clamscan on a home-like tree and a database of
// real size, five rounds with the programs taking turns, medians:
//   (a) a first scan, the cache written, against clamscan;
//   (b) the same tree again, nothing changed;
//   (c) 1 % of the files changed since;
//   (d) the first scan with the cache against one without it.
//
// Usage: cache_bench [WORKDIR]   (default /tmp/vex-cache-bench; the tree and
// the database are made there once and reused).
//
// The tree: about 10,000 files and 600 MB: small text files, 120 binaries of
// 1 to 8 MB and 50 zip archives. The database: 4,000,000 hash, 100,000 body
// and 5,000 logical signatures (for Windows programs, as most are) that match
// nothing in the tree.
#include "BenchSupport.h"

#include <thread>

namespace fs = std::filesystem;

namespace {

using namespace bench;

constexpr int kTextFiles = 9830;
constexpr int kBinaries = 120;
constexpr int kArchives = 50;

fs::path TextFile(const fs::path& tree, int i) {
    return tree / "docs" / ("d" + std::to_string(i / 200)) / ("note" + std::to_string(i) + ".txt");
}

void MakeTree(const fs::path& tree) {
    std::mt19937_64 rng(42);
    for (int i = 0; i < kTextFiles; ++i)
        WriteFile(TextFile(tree, i), Words(rng, 1000 + rng() % 19000));
    for (int i = 0; i < kBinaries; ++i)
        WriteFile(tree / "bin" / ("tool" + std::to_string(i)),
                  RandomBytes(rng, (1u << 20) + rng() % (7u << 20)));
    for (int z = 0; z < kArchives; ++z) {
        const fs::path work = tree / "zipwork";
        for (int i = 0; i < 10; ++i)
            WriteFile(work / ("f" + std::to_string(i) + ".txt"), Words(rng, 20000 + rng() % 80000));
        const fs::path zip = tree / "archives" / ("a" + std::to_string(z) + ".zip");
        fs::create_directories(zip.parent_path());
        const std::string cmd = "cd '" + work.string() + "' && zip -q -r '" + zip.string() + "' .";
        if (std::system(cmd.c_str()) != 0)
            std::fprintf(stderr, "zip failed\n");
        fs::remove_all(work);
    }
}

void MakeDatabase(const fs::path& db) {
    std::mt19937_64 rng(7);
    fs::create_directories(db);
    {
        std::ofstream hdb(db / "bench.hdb");
        for (int i = 0; i < 4000000; ++i)
            hdb << Hex(rng, 16) << ":" << (1000 + rng() % 1000000) << ":Bench.Hash-" << i << "\n";
    }
    {
        std::ofstream ndb(db / "bench.ndb");
        for (int i = 0; i < 100000; ++i)
            ndb << "Bench.Body-" << i << ":0:*:" << Hex(rng, 12 + rng() % 8) << "\n";
    }
    std::ofstream ldb(db / "bench.ldb");
    for (int i = 0; i < 5000; ++i)
        ldb << "Bench.Logical-" << i << ";Target:1;0&1;" << Hex(rng, 10) << ";" << Hex(rng, 10)
            << "\n";
}

// Rewrites 1 % of the files (the same ones every round) with new content.
void ChangeOnePercent(const fs::path& tree, int round) {
    std::mt19937_64 rng(1000 + round);
    for (int i = 0; i < (kTextFiles + kBinaries + kArchives) / 100; ++i)
        WriteFile(TextFile(tree, i * 97), Words(rng, 1000 + rng() % 19000));
}

} // namespace

int main(int argc, char** argv) {
    const fs::path work = argc > 1 ? argv[1] : "/tmp/vex-cache-bench";
    const fs::path tree = work / "tree", db = work / "db", state = work / "state";
    if (!fs::exists(work / "ready")) {
        fs::remove_all(work);
        std::printf("making the tree and the database in %s ...\n", work.c_str());
        MakeTree(tree);
        MakeDatabase(db);
        std::ofstream(work / "ready") << "\n";
        // Files changed within two seconds of a scan are read all the same.
        std::this_thread::sleep_for(std::chrono::seconds(3));
    }
    uint64_t files = 0, bytes = 0;
    for (const auto& e : fs::recursive_directory_iterator(tree))
        if (e.is_regular_file()) {
            ++files;
            bytes += e.file_size();
        }

    const fs::path cmd = work / "command";
    const std::vector<std::string> vex = {VEXSCAN_PATH, "-c", cmd.string()};
    auto command = [cmd, tree] {
        std::ofstream(cmd, std::ios::binary) << "21010020\r\nBench\r\n" << tree.string() << "\r\n";
    };
    const std::vector<std::string> env = {"RAMPART_ROOT=" + state.string(),
                                          "VEX_SIGNATURES=" + db.string(), "VEX_WINDOW=hidden"};
    std::vector<std::string> noCache = env;
    noCache.push_back("VEX_VERDICT_CACHE=off");
    int round = 0;
    const std::vector<Measure> m = Medians({
        {{"clamscan", "-r", "--no-summary", "--infected", "--database=" + db.string(),
          tree.string()},
         {},
         {}},
        {vex, env, [&] { fs::remove_all(state), command(); }},
        {vex, env, command},
        {vex, env, [&] { ChangeOnePercent(tree, round++), command(); }},
        {vex, noCache, [&] { fs::remove_all(state), command(); }},
    });
    const Measure &clam = m[0], &first = m[1], &same = m[2], &changed = m[3], &without = m[4];

    const double mb = double(bytes) / (1 << 20);
    std::printf("tree: %llu files, %.1f MB; %u processor cores\n",
                static_cast<unsigned long long>(files), mb, std::thread::hardware_concurrency());
    std::printf("%-40s %8s %9s %9s %8s %5s\n", "run (median of 5)", "wall s", "files/s", "MB/s",
                "peak MB", "exit");
    auto row = [&](const char* name, const Measure& r) {
        std::printf("%-40s %8.2f %9.0f %9.1f %8.1f %5d\n", name, r.seconds, files / r.seconds,
                    mb / r.seconds, r.maxRssKb / 1024.0, r.exitCode);
    };
    row("clamscan -r", clam);
    row("(a) vexscan, first scan, cache written", first);
    row("(b) vexscan, nothing changed", same);
    row("(c) vexscan, 1 % changed", changed);
    row("(d) vexscan, first scan without cache", without);
    std::printf("(a) wall %.3f x clamscan (goal <= 0.6), peak memory %.2f x (goal <= 1.2)\n",
                first.seconds / clam.seconds, double(first.maxRssKb) / double(clam.maxRssKb));
    std::printf("(b) wall %.3f x clamscan (goal <= 0.02)\n", same.seconds / clam.seconds);
    std::printf("(c) wall %.3f x clamscan (goal <= 0.3)\n", changed.seconds / clam.seconds);
    std::printf("(d) writing the cache costs %+.1f %% (goal <= 5 %%)\n",
                100.0 * (first.seconds / without.seconds - 1.0));
    return 0;
}
