// vexscan against clamscan on the same tree with the same signatures: wall
// time, peak memory and the time to load the signatures, each the median of
// five runs after one warm-up run, the programs taking turns.
//
// Usage: scan_bench [WORKDIR]   (default /tmp/vex-scan-bench; the tree and
// the database are made there once and reused). Both programs get the same
// environment, TMPDIR included: the engine's temporary folders go there.
//
// The tree: about 5,000 files and 150 MB: random data, copies of programs from
// /usr/bin and a few dozen zip archives. The database: 200,000 hash and
// 20,000 body signatures that match nothing in the tree, plus one of each
// that does, so both programs walk, unpack and match everything.
#include "BenchSupport.h"

#include <thread>

namespace fs = std::filesystem;

namespace {

using namespace bench;

uint64_t MakeTree(const fs::path& tree, const std::string& marker) {
    std::mt19937_64 rng(42);
    uint64_t bytes = 0;
    int files = 0;
    // Programs from /usr/bin.
    std::vector<fs::path> programs;
    for (const auto& e : fs::directory_iterator("/usr/bin")) {
        std::error_code ec;
        if (e.is_regular_file(ec) && !e.is_symlink(ec) && e.file_size(ec) < (4u << 20))
            programs.push_back(e.path());
    }
    std::sort(programs.begin(), programs.end());
    programs.resize(std::min<size_t>(programs.size(), 400));
    for (const fs::path& p : programs) {
        fs::path dest = tree / "bin" / p.filename();
        fs::create_directories(dest.parent_path());
        fs::copy_file(p, dest, fs::copy_options::overwrite_existing);
        bytes += fs::file_size(dest);
        ++files;
    }
    // Zip archives of text-like files; one holds the body signature's marker.
    for (int z = 0; z < 40; ++z) {
        fs::path work = tree / "zipwork";
        for (int i = 0; i < 10; ++i)
            WriteFile(work / ("f" + std::to_string(i) + ".txt"),
                      Words(rng, 20000 + rng() % 100000) + (z == 17 && i == 3 ? marker : ""));
        fs::path zip = tree / "archives" / ("a" + std::to_string(z) + ".zip");
        fs::create_directories(zip.parent_path());
        std::string cmd = "cd '" + work.string() + "' && zip -q -r '" + zip.string() + "' .";
        if (std::system(cmd.c_str()) != 0)
            std::fprintf(stderr, "zip failed\n");
        fs::remove_all(work);
        bytes += fs::file_size(zip);
        ++files;
    }
    // Random data files up to about 150 MB and 5,000 files in all.
    const uint64_t target = 150ull << 20;
    int i = 0;
    while (files < 5000) {
        const int left = 5000 - files;
        const uint64_t remaining = bytes < target ? target - bytes : 4096;
        size_t size = static_cast<size_t>(std::max<uint64_t>(512, remaining / left));
        size = size / 2 + rng() % size; // spread around the mean
        WriteFile(tree / "data" / ("d" + std::to_string(i / 100)) / ("r" + std::to_string(i)),
                  RandomBytes(rng, size));
        bytes += size;
        ++files;
        ++i;
    }
    return bytes;
}

void MakeDatabase(const fs::path& db, const std::string& marker, const fs::path& hashed) {
    std::mt19937_64 rng(7);
    fs::create_directories(db);
    {
        std::ofstream hdb(db / "bench.hdb");
        for (int i = 0; i < 200000; ++i)
            hdb << Hex(rng, 16) << ":" << (1000 + rng() % 1000000) << ":Bench.Hash-" << i << "\n";
        // One that matches a file of the tree.
        std::string cmd = "md5sum '" + hashed.string() + "' | cut -d' ' -f1";
        FILE* p = ::popen(cmd.c_str(), "r");
        char md5[64] = {};
        if (p && std::fgets(md5, sizeof md5, p))
            hdb << std::string(md5, 32) << ":" << fs::file_size(hashed) << ":Bench.Hash-Real\n";
        if (p)
            ::pclose(p);
    }
    std::ofstream ndb(db / "bench.ndb");
    for (int i = 0; i < 20000; ++i)
        ndb << "Bench.Body-" << i << ":0:*:" << Hex(rng, 12 + rng() % 8) << "\n";
    std::string hex;
    for (unsigned char c : marker) {
        char b[3];
        std::snprintf(b, sizeof b, "%02x", c);
        hex += b;
    }
    ndb << "Bench.Body-Real:0:*:" << hex << "\n";
}

} // namespace

int main(int argc, char** argv) {
    const fs::path work = argc > 1 ? argv[1] : "/tmp/vex-scan-bench";
    const fs::path tree = work / "tree", small = work / "small", db = work / "db";
    const std::string marker = "VEX-BENCH-BODY-MARKER-19C2";
    const fs::path vexscan = fs::path(VEXSCAN_PATH);
    if (!fs::exists(work / "ready")) {
        fs::remove_all(work);
        std::printf("making the tree and the database in %s ...\n", work.c_str());
        uint64_t bytes = MakeTree(tree, marker);
        MakeDatabase(db, marker, tree / "data" / "d0" / "r5");
        WriteFile(small / "one.txt", "one small file\n");
        std::ofstream(work / "ready") << bytes << "\n";
    }
    uint64_t files = 0, bytes = 0;
    for (const auto& e : fs::recursive_directory_iterator(tree))
        if (e.is_regular_file()) {
            ++files;
            bytes += e.file_size();
        }

    auto vexRun = [&](const fs::path& dir, const char* digits) {
        const fs::path state = work / "state";
        const fs::path cmd = work / "command";
        return std::make_pair(std::vector<std::string>{vexscan.string(), "-c", cmd.string()}, [=] {
            fs::remove_all(state);
            std::ofstream(cmd, std::ios::binary) << digits << "\r\nBench\r\n"
                                                 << dir.string() << "\r\n";
        });
    };
    const std::vector<std::string> env = {"RAMPART_ROOT=" + (work / "state").string(),
                                          "VEX_SIGNATURES=" + db.string(), "VEX_WINDOW=hidden"};
    const std::vector<std::string> clam = {"clamscan", "-r", "--no-summary", "--infected",
                                           "--database=" + db.string()};

    // All files, heuristics, subfolders, detailed log; without and with the
    // reference check (which hashes every file as well).
    auto [vexArgs, vexPrep] = vexRun(tree, "21010020");
    auto [vexRefArgs, vexRefPrep] = vexRun(tree, "21010021");
    std::vector<std::string> clamTree = clam;
    clamTree.push_back(tree.string());
    auto [vexSmallArgs, vexSmallPrep] = vexRun(small, "21010020");
    std::vector<std::string> clamSmall = clam;
    clamSmall.push_back(small.string());
    const std::vector<Measure> m = Medians({{vexArgs, env, vexPrep},
                                            {vexRefArgs, env, vexRefPrep},
                                            {clamTree, {}, {}},
                                            {vexSmallArgs, env, vexSmallPrep},
                                            {clamSmall, {}, {}}});
    const Measure &v = m[0], &vr = m[1], &c = m[2], &vl = m[3], &cl = m[4];

    const double mb = double(bytes) / (1 << 20);
    std::printf("tree: %llu files, %.1f MB; %u processor cores\n",
                static_cast<unsigned long long>(files), mb, std::thread::hardware_concurrency());
    std::printf("%-34s %9s %10s %6s\n", "run (median of 5)", "wall s", "peak MB", "exit");
    auto row = [](const char* name, const Measure& m) {
        std::printf("%-34s %9.2f %10.1f %6d\n", name, m.seconds, m.maxRssKb / 1024.0, m.exitCode);
    };
    row("vexscan tree", v);
    row("vexscan tree, reference check", vr);
    row("clamscan tree", c);
    row("vexscan one file (signature load)", vl);
    row("clamscan one file (signature load)", cl);
    std::printf(
        "vexscan: %.0f files/s, %.1f MB/s (with the reference check %.0f files/s, %.1f MB/s)\n",
        files / v.seconds, mb / v.seconds, files / vr.seconds, mb / vr.seconds);
    std::printf("ratios vexscan/clamscan: wall %.2f (goal <= 0.6), load %.2f (goal <= 1.0), "
                "peak memory %.2f (goal <= 1.2)\n",
                v.seconds / c.seconds, vl.seconds / cl.seconds,
                double(v.maxRssKb) / double(c.maxRssKb));
    return 0;
}
