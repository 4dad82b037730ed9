// tamrel-mutate: damages model files in the ways broken writers, cut
// downloads and hostile files do, loads each mutant with `tamrel-bench load`
// in a child process under an address-space cap and a time limit, and
// reports crashes, hangs and memory exhaustion. Mutant k of seed s is the
// same on every run, so any finding can be made again with --only k.

#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Options {
    std::string bench;
    fs::path out = "mutants";
    uint64_t seed = 1;
    uint64_t count = 300;
    int64_t only = -1;
    unsigned jobs = 4;
    double timeoutSec = 20;
    uint64_t memMiB = 2048;
    std::vector<fs::path> sources;
};

using Rng = std::mt19937_64;
constexpr size_t LargestMutant = size_t{8} << 20;
using Bytes = std::string;

uint64_t pick(Rng& rng, uint64_t n) { return n == 0 ? 0 : std::uniform_int_distribution<uint64_t>(0, n - 1)(rng); }

std::string readFile(const fs::path& p)
{
    std::ifstream in(p, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void writeFile(const fs::path& p, const Bytes& b)
{
    std::ofstream out(p, std::ios::binary);
    out.write(b.data(), static_cast<std::streamsize>(b.size()));
}

// Small well-formed cubes of every flavour the readers take.
void writeCubes(const fs::path& dir)
{
    const float v[8][3] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0}, {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
    const int q[6][4] = {{0, 3, 2, 1}, {4, 5, 6, 7}, {0, 1, 5, 4}, {1, 2, 6, 5}, {2, 3, 7, 6}, {3, 0, 4, 7}};
    std::string obj, off = "OFF\n8 6 0\n", ascii, stlA = "solid cube\n";
    std::string header = "element vertex 8\nproperty float x\nproperty float y\nproperty float z\n"
                         "element face 6\nproperty list uchar int vertex_indices\nend_header\n";
    ascii = "ply\nformat ascii 1.0\ncomment hand-made\n" + header;
    std::string le = "ply\nformat binary_little_endian 1.0\n" + header;
    std::string be = "ply\nformat binary_big_endian 1.0\n" + header;
    auto putBe = [&](const void* p) {
        const auto* b = static_cast<const char*>(p);
        for (int i = 3; i >= 0; --i) be.push_back(b[i]);
    };
    for (const auto& p : v) {
        obj += "v " + std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + "\n";
        off += std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + "\n";
        ascii += std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) + "\n";
        le.append(reinterpret_cast<const char*>(p), 12);
        for (float c : p) putBe(&c);
    }
    std::string stlB(80, ' ');
    const uint32_t triangles = 12;
    stlB.append(reinterpret_cast<const char*>(&triangles), 4);
    for (const auto& f : q) {
        obj += "f " + std::to_string(f[0] + 1) + " " + std::to_string(f[1] + 1) + " " + std::to_string(f[2] + 1) +
               " " + std::to_string(f[3] + 1) + "\n";
        const std::string face = "4 " + std::to_string(f[0]) + " " + std::to_string(f[1]) + " " +
                                 std::to_string(f[2]) + " " + std::to_string(f[3]) + "\n";
        off += face;
        ascii += face;
        le.push_back(4);
        be.push_back(4);
        for (int k = 0; k < 4; ++k) {
            le.append(reinterpret_cast<const char*>(&f[k]), 4);
            putBe(&f[k]);
        }
        const int tris[2][3] = {{f[0], f[1], f[2]}, {f[0], f[2], f[3]}};
        for (const auto& t : tris) {
            stlA += "facet normal 0 0 0\nouter loop\n";
            const float zero[3] = {0, 0, 0};
            stlB.append(reinterpret_cast<const char*>(zero), 12);
            for (int k = 0; k < 3; ++k) {
                const auto& p = v[t[k]];
                stlA += "vertex " + std::to_string(p[0]) + " " + std::to_string(p[1]) + " " + std::to_string(p[2]) +
                        "\n";
                stlB.append(reinterpret_cast<const char*>(p), 12);
            }
            stlA += "endloop\nendfacet\n";
            stlB.append(2, '\0');
        }
    }
    stlA += "endsolid cube\n";
    fs::create_directories(dir);
    writeFile(dir / "cube.obj", obj);
    writeFile(dir / "cube.off", off);
    writeFile(dir / "cube_ascii.ply", ascii);
    writeFile(dir / "cube_le.ply", le);
    writeFile(dir / "cube_be.ply", be);
    writeFile(dir / "cube_ascii.stl", stlA);
    writeFile(dir / "cube_binary.stl", stlB);
}

// Byte ranges of the lines of b (without their line feeds).
std::vector<std::pair<size_t, size_t>> lines(const Bytes& b)
{
    std::vector<std::pair<size_t, size_t>> out;
    size_t start = 0;
    while (start < b.size()) {
        size_t end = b.find('\n', start);
        if (end == Bytes::npos) end = b.size();
        out.emplace_back(start, end);
        start = end + 1;
    }
    return out;
}

// Start positions of the decimal numbers among the first `within` bytes.
std::vector<std::pair<size_t, size_t>> numbers(const Bytes& b, size_t within)
{
    std::vector<std::pair<size_t, size_t>> out;
    const size_t n = std::min(b.size(), within);
    for (size_t i = 0; i < n;) {
        if (std::isdigit(static_cast<unsigned char>(b[i])) && (i == 0 || !std::isalnum(static_cast<unsigned char>(b[i - 1])))) {
            size_t j = i;
            while (j < b.size() && std::isdigit(static_cast<unsigned char>(b[j]))) ++j;
            out.emplace_back(i, j - i);
            i = j;
        } else {
            ++i;
        }
    }
    return out;
}

std::string hugeNumber(Rng& rng)
{
    static const char* values[] = {"0", "1", "2", "4", "9", "10", "255", "65535", "2147483647", "2147483648",
                                   "4294967295", "4294967296", "4294967299", "100000000", "99999999999",
                                   "-1", "-2147483648", "18446744073709551615", "1e30", "nan"};
    return values[pick(rng, std::size(values))];
}

std::string digits(Rng& rng, size_t n)
{
    std::string s(n, '9');
    for (auto& c : s) c = static_cast<char>('0' + pick(rng, 10));
    s[0] = '1';
    return s;
}

// One damage of the given kind; the name goes into the report.
using Mutation = std::function<void(Bytes&, Rng&, const std::string& ext)>;

const std::vector<std::pair<const char*, Mutation>>& mutations()
{
    static const std::vector<std::pair<const char*, Mutation>> table = {
        {"flip", [](Bytes& b, Rng& r, const std::string&) {
             const uint64_t k = 1 + pick(r, 16);
             for (uint64_t i = 0; i < k && !b.empty(); ++i) b[pick(r, b.size())] = static_cast<char>(pick(r, 256));
         }},
        {"flip-header", [](Bytes& b, Rng& r, const std::string&) {
             const size_t n = std::min<size_t>(b.size(), 300);
             if (n) b[pick(r, n)] = static_cast<char>(pick(r, 256));
         }},
        {"truncate", [](Bytes& b, Rng& r, const std::string&) { b.resize(pick(r, b.size() + 1)); }},
        {"huge-count", [](Bytes& b, Rng& r, const std::string&) {
             const auto nums = numbers(b, 600);
             if (nums.empty()) return;
             const auto [at, len] = nums[pick(r, nums.size())];
             b.replace(at, len, hugeNumber(r));
         }},
        {"any-number", [](Bytes& b, Rng& r, const std::string&) {
             const auto nums = numbers(b, b.size());
             if (nums.empty()) return;
             const auto [at, len] = nums[pick(r, nums.size())];
             b.replace(at, len, hugeNumber(r));
         }},
        {"nul-body", [](Bytes& b, Rng& r, const std::string&) {
             const size_t at = pick(r, b.size() + 1);
             const size_t n = pick(r, 2) ? (size_t{1} << 20) + pick(r, 4096) : 1 + pick(r, 5000);
             b.replace(at, b.size() - at, std::string(n, '\0'));
         }},
        {"header-then-nul", [](Bytes& b, Rng& r, const std::string&) {
             const size_t end = b.find("end_header\n");
             if (end == Bytes::npos) return;
             b.resize(end + 11);
             b.append(pick(r, 2) ? (size_t{1} << 20) : 100 + pick(r, 1000), '\0');
         }},
        {"long-line", [](Bytes& b, Rng& r, const std::string&) {
             const auto ls = lines(b);
             const size_t at = ls.empty() ? 0 : ls[pick(r, ls.size())].first;
             const size_t n = pick(r, 2) ? 5000 + pick(r, 5000) : (size_t{1} << 20) + pick(r, 1 << 20);
             const std::string fill = pick(r, 2) ? std::string(n, 'x') : std::string(n, ' ') + "1";
             b.insert(at, fill + "\n");
         }},
        {"long-polygon", [](Bytes& b, Rng& r, const std::string& ext) {
             const size_t n = 1000 + pick(r, 120000);
             std::string line = ext == ".obj" ? "f" : std::to_string(n);
             for (size_t i = 0; i < n; ++i) {
                 line += ' ';
                 line += std::to_string(ext == ".obj" ? 1 + pick(r, 8) : pick(r, 8));
             }
             // Late in the file, where the faces are.
             const auto ls = lines(b);
             const size_t at = ls.size() < 2 ? b.size() : ls[ls.size() / 2 + pick(r, ls.size() / 2)].first;
             b.insert(at, line + "\n");
         }},
        {"absurd-digits", [](Bytes& b, Rng& r, const std::string&) {
             const auto nums = numbers(b, b.size());
             const std::string d = digits(r, pick(r, 2) ? 20 + pick(r, 200) : 100000 + pick(r, 300000));
             if (nums.empty()) {
                 b += "f 1 1 " + d + "\n";
                 return;
             }
             const auto [at, len] = nums[pick(r, nums.size())];
             b.replace(at, len, d);
         }},
        {"obj-face-digits", [](Bytes& b, Rng& r, const std::string&) {
             b += "f 1 1 " + digits(r, 50 + pick(r, 330000)) + "\n";
         }},
        {"duplicate-line", [](Bytes& b, Rng& r, const std::string&) {
             const auto ls = lines(b);
             if (ls.empty()) return;
             const auto [s, e] = ls[pick(r, std::min<size_t>(ls.size(), pick(r, 2) ? 12 : ls.size()))];
             const std::string line = b.substr(s, e - s) + "\n";
             const uint64_t times = std::min<uint64_t>(1 + pick(r, pick(r, 2) ? 3 : 3000), (4u << 20) / line.size() + 1);
             std::string block;
             block.reserve(line.size() * times);
             for (uint64_t i = 0; i < times; ++i) block += line;
             b.insert(s, block);
         }},
        {"remove-line", [](Bytes& b, Rng& r, const std::string&) {
             const auto ls = lines(b);
             if (ls.empty()) return;
             const auto [s, e] = ls[pick(r, std::min<size_t>(ls.size(), pick(r, 2) ? 12 : ls.size()))];
             b.erase(s, std::min(b.size(), e + 1) - s);
         }},
        {"remove-magic", [](Bytes& b, Rng&, const std::string&) {
             const size_t s = b.find_first_not_of(" \t\r\n");
             if (s == Bytes::npos) return;
             const size_t e = b.find_first_of(" \t\r\n", s);
             b.erase(s, (e == Bytes::npos ? b.size() : e) - s);
         }},
        {"comment-line", [](Bytes& b, Rng& r, const std::string&) {
             const auto ls = lines(b);
             const size_t at = ls.empty() ? 0 : ls[pick(r, std::min<size_t>(ls.size(), 6))].first;
             b.insert(at, pick(r, 2) ? "# a comment\n" : "comment a comment\n");
         }},
        {"empty-faces", [](Bytes& b, Rng& r, const std::string&) {
             const uint64_t n = 1 + pick(r, pick(r, 2) ? 5 : 100000);
             std::string add;
             for (uint64_t i = 0; i < n; ++i) add += pick(r, 4) ? "0\n" : "12 0 1 2\n";
             b += add;
         }},
        {"bad-index", [](Bytes& b, Rng& r, const std::string&) {
             // A number late in the file: usually a face index.
             const auto nums = numbers(b, b.size());
             if (nums.empty()) return;
             const size_t i = nums.size() - 1 - pick(r, std::min<size_t>(nums.size(), 40));
             static const char* values[] = {"-1", "10000", "4294967295", "-5", "99999", "0"};
             b.replace(nums[i].first, nums[i].second, values[pick(r, std::size(values))]);
         }},
        {"line-ends", [](Bytes& b, Rng& r, const std::string&) {
             static const char ends[] = {'\r', '\f', '\0', '\n'};
             const uint64_t k = 1 + pick(r, 4);
             for (uint64_t i = 0; i < k && !b.empty(); ++i) b[pick(r, b.size())] = ends[pick(r, 4)];
         }},
        {"random-chunk", [](Bytes& b, Rng& r, const std::string&) {
             std::string chunk(1 + pick(r, 2000), '\0');
             for (auto& c : chunk) c = static_cast<char>(pick(r, 256));
             b.insert(pick(r, b.size() + 1), chunk);
         }},
        {"swap-lines", [](Bytes& b, Rng& r, const std::string&) {
             const auto ls = lines(b);
             if (ls.size() < 2) return;
             const size_t i = pick(r, std::min<size_t>(ls.size() - 1, 12));
             const std::string a = b.substr(ls[i].first, ls[i].second - ls[i].first);
             const std::string c = b.substr(ls[i + 1].first, ls[i + 1].second - ls[i + 1].first);
             b.replace(ls[i].first, ls[i + 1].second - ls[i].first, c + "\n" + a);
         }},
    };
    return table;
}

struct Mutant {
    uint64_t index;
    fs::path source;
    fs::path file;
    std::string ops;
};

Mutant makeMutant(const Options& o, uint64_t k, const fs::path& dir)
{
    Rng rng(o.seed * 0x9E3779B97F4A7C15ull + k);
    Mutant m{k, o.sources[pick(rng, o.sources.size())], {}, {}};
    std::string ext = m.source.extension().string();
    for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    Bytes b = readFile(m.source);
    const uint64_t steps = 1 + pick(rng, 3);
    for (uint64_t s = 0; s < steps; ++s) {
        const auto& [name, apply] = mutations()[pick(rng, mutations().size())];
        apply(b, rng, ext);
        // Damage piled on damage could grow without bound.
        if (b.size() > LargestMutant) b.resize(LargestMutant);
        if (!m.ops.empty()) m.ops += '+';
        m.ops += name;
    }
    m.file = dir / ("m" + std::to_string(k) + "-" + m.source.filename().string());
    writeFile(m.file, b);
    return m;
}

enum class Outcome { Loaded, Refused, Crash, Hang, Memory };
const char* outcomeName(Outcome o)
{
    switch (o) {
    case Outcome::Loaded: return "loaded";
    case Outcome::Refused: return "refused";
    case Outcome::Crash: return "crash";
    case Outcome::Hang: return "hang";
    case Outcome::Memory: return "memory";
    }
    return "?";
}

struct Running {
    Mutant mutant;
    pid_t pid;
    std::chrono::steady_clock::time_point start;
    fs::path log;
};

pid_t launch(const Options& o, const Mutant& m, const fs::path& log)
{
    const pid_t pid = fork();
    if (pid != 0) return pid;
    const rlimit cap{o.memMiB << 20, o.memMiB << 20};
    setrlimit(RLIMIT_AS, &cap);
    const int fd = open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd >= 0) {
        dup2(fd, 1);
        dup2(fd, 2);
        close(fd);
    }
    execl(o.bench.c_str(), o.bench.c_str(), "load", m.file.c_str(), static_cast<char*>(nullptr));
    _exit(127);
}

Outcome classify(int status, const fs::path& log, std::string& detail)
{
    // The tail of the log holds the reason of a failure.
    std::string text = readFile(log);
    if (text.size() > 100000) text = text.substr(text.size() - 100000);
    if (text.find("bad_alloc") != std::string::npos) {
        detail = "out of memory";
        return Outcome::Memory;
    }
    if (WIFSIGNALED(status)) {
        detail = std::string("signal ") + strsignal(WTERMSIG(status));
        return Outcome::Crash;
    }
    const int code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    if (code == 0) return Outcome::Loaded;
    if (code == 1) return Outcome::Refused;
    detail = "exit code " + std::to_string(code);
    return Outcome::Crash;
}

int run(const Options& o)
{
    const fs::path work = o.out / "work";
    fs::create_directories(work);
    fs::create_directories(o.out / "found");
    uint64_t counts[5] = {0, 0, 0, 0, 0};
    uint64_t finished = 0;
    double slowest = 0;
    std::string slowestFile;
    std::vector<Running> running;
    uint64_t next = o.only >= 0 ? static_cast<uint64_t>(o.only) : 0;
    const uint64_t last = o.only >= 0 ? next + 1 : o.count;
    while (next < last || !running.empty()) {
        while (next < last && running.size() < o.jobs) {
            Mutant m = makeMutant(o, next++, work);
            const fs::path log = work / (m.file.filename().string() + ".log");
            const pid_t pid = launch(o, m, log);
            if (pid < 0) {
                std::perror("tamrel-mutate: fork");
                return 2;
            }
            running.push_back({std::move(m), pid, std::chrono::steady_clock::now(), log});
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        for (size_t i = 0; i < running.size();) {
            Running& r = running[i];
            int status = 0;
            const double elapsed =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - r.start).count();
            pid_t done = waitpid(r.pid, &status, WNOHANG);
            Outcome outcome;
            std::string detail;
            if (done == 0 && elapsed < o.timeoutSec) {
                ++i;
                continue;
            }
            if (done == 0) {
                kill(r.pid, SIGKILL);
                waitpid(r.pid, &status, 0);
                outcome = Outcome::Hang;
                detail = "killed after " + std::to_string(o.timeoutSec) + " s";
            } else {
                outcome = classify(status, r.log, detail);
            }
            ++counts[static_cast<int>(outcome)];
            if (++finished % 1000 == 0) {
                std::printf("progress mutants=%llu\n", static_cast<unsigned long long>(finished));
                std::fflush(stdout);
            }
            if (elapsed > slowest) {
                slowest = elapsed;
                slowestFile = r.mutant.file.filename().string() + " (" + r.mutant.ops + ")";
            }
            if (outcome == Outcome::Crash || outcome == Outcome::Hang || outcome == Outcome::Memory) {
                const fs::path kept = o.out / "found" / (std::string(outcomeName(outcome)) + "-" + r.mutant.file.filename().string());
                fs::copy_file(r.mutant.file, kept, fs::copy_options::overwrite_existing);
                std::printf("%s mutant=%llu seed=%llu source=%s ops=%s time_s=%.2f (%s) kept=%s\n", outcomeName(outcome),
                            static_cast<unsigned long long>(r.mutant.index), static_cast<unsigned long long>(o.seed),
                            r.mutant.source.c_str(), r.mutant.ops.c_str(), elapsed, detail.c_str(), kept.c_str());
                std::fflush(stdout);
            }
            std::error_code ec;
            fs::remove(r.mutant.file, ec);
            fs::remove(r.log, ec);
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    const uint64_t total = last - (o.only >= 0 ? static_cast<uint64_t>(o.only) : 0);
    std::printf("mutate seed=%llu mutants=%llu loaded=%llu refused=%llu crashes=%llu hangs=%llu memory=%llu "
                "slowest_s=%.2f slowest=%s\n",
                static_cast<unsigned long long>(o.seed), static_cast<unsigned long long>(total),
                static_cast<unsigned long long>(counts[0]), static_cast<unsigned long long>(counts[1]),
                static_cast<unsigned long long>(counts[2]), static_cast<unsigned long long>(counts[3]),
                static_cast<unsigned long long>(counts[4]), slowest, slowestFile.c_str());
    return counts[2] + counts[3] + counts[4] == 0 ? 0 : 1;
}

void defaultSources(Options& o)
{
    writeCubes(o.out / "cubes");
    for (const auto& dir : {fs::path(o.out / "cubes"), fs::path("/usr/share/assimp/models/PLY"),
                            fs::path("/usr/share/assimp/models/OBJ"), fs::path("/usr/share/assimp/models/STL"),
                            fs::path("/usr/share/assimp/models/OFF")}) {
        std::error_code ec;
        for (const auto& entry : fs::directory_iterator(dir, ec)) {
            std::string ext = entry.path().extension().string();
            for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
            const bool model = ext == ".ply" || ext == ".obj" || ext == ".stl" || ext == ".off";
            // Large files make slow mutants and add no new kind of damage.
            if (model && entry.is_regular_file() && entry.file_size() <= (size_t{1} << 20)) {
                o.sources.push_back(entry.path());
            }
        }
    }
    std::sort(o.sources.begin(), o.sources.end());
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string { return i + 1 < argc ? argv[++i] : ""; };
        if (a == "--bench") o.bench = value();
        else if (a == "--out") o.out = value();
        else if (a == "--seed") o.seed = std::stoull(value());
        else if (a == "--count") o.count = std::stoull(value());
        else if (a == "--only") o.only = std::stoll(value());
        else if (a == "--jobs") o.jobs = static_cast<unsigned>(std::max(1, std::stoi(value())));
        else if (a == "--timeout") o.timeoutSec = std::stod(value());
        else if (a == "--mem") o.memMiB = std::stoull(value());
        else o.sources.emplace_back(a);
    }
    if (o.bench.empty()) {
        std::fprintf(stderr,
                     "usage: tamrel-mutate --bench PATH [--out DIR] [--seed S] [--count N] [--only K] [--jobs J]\n"
                     "                     [--timeout SEC] [--mem MIB] [MODEL_FILE...]\n");
        return 2;
    }
    if (o.sources.empty()) defaultSources(o);
    if (o.sources.empty()) {
        std::fprintf(stderr, "tamrel-mutate: no model files to mutate\n");
        return 2;
    }
    return run(o);
}
