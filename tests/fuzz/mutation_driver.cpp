// A seeded mutation loop for the fuzz targets, for builds without libFuzzer
// (the ordinary g++ build with AddressSanitizer and UBSan).
//
//   fuzz_<reader> [--seconds S] [--runs N] [--seed K] [--max-len BYTES] PATH...
//
// Every PATH is a seed file or a folder of seed files. Each seed runs once
// as it is; then, until S seconds or N runs have passed, a seed chosen at
// random is mutated (bit flips, interesting bytes and 32-bit sizes,
// inserts, deletes, duplicated ranges, splices with another seed, a range
// repeated to nest deeper, cuts, tokens of the input languages) and handed
// to LLVMFuzzerTestOneInput. The mutations follow from the seed K alone, so
// a run can be repeated exactly.
//
// A fault (a sanitizer report, a crash, an exception that is not the
// reader's own refusal, one input running longer than 10 s, the process
// passing 2 GiB of memory) stops the run with a non-zero exit; the input is
// saved as crash-<program>-<seed>.bin in the current folder. Giving that file
// as the only PATH runs it alone.
#include <algorithm>
#include <array>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

// Present when the program runs under AddressSanitizer.
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

// Defaults for AddressSanitizer in these programs (ASAN_OPTIONS still
// overrides them): a single allocation past 512 MiB is a fault, since no
// fuzz input is more than a few hundred kilobytes.
extern "C" const char* __asan_default_options() { return "max_allocation_size_mb=512:allocator_may_return_null=0"; }

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr unsigned kInputSeconds = 10;
constexpr long kMaxRssKiB = 2L << 20;  // 2 GiB

// The input being run and where to save it, reachable from a signal
// handler.
const Bytes* current = nullptr;
char crashPath[4096] = {};

void saveCurrent() {
    if (!current) return;
    const int fd = ::open(crashPath, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (fd < 0) return;
    const std::uint8_t* p = current->data();
    std::size_t left = current->size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, left);
        if (n <= 0) break;
        p += n, left -= static_cast<std::size_t>(n);
    }
    ::close(fd);
    const char note[] = "\nfuzz: the input at fault is saved as ";
    (void)!::write(2, note, sizeof note - 1);
    (void)!::write(2, crashPath, std::strlen(crashPath));
    (void)!::write(2, "\n", 1);
}

void onTimeout(int) {
    const char note[] = "\nfuzz: one input ran longer than the limit\n";
    (void)!::write(2, note, sizeof note - 1);
    saveCurrent();
    ::_exit(70);
}

void onSignal(int sig) {
    saveCurrent();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

void onTerminate() {
    std::cerr << "\nfuzz: an exception escaped the reader";
    if (auto e = std::current_exception()) {
        try {
            std::rethrow_exception(e);
        } catch (const std::exception& x) {
            std::cerr << ": " << x.what();
        } catch (...) {
        }
    }
    std::cerr << '\n';
    saveCurrent();
    std::abort();
}

void installHandlers() {
    std::set_terminate(onTerminate);
    std::signal(SIGALRM, onTimeout);
    if (__sanitizer_set_death_callback) {
        __sanitizer_set_death_callback(saveCurrent);
    } else {
        for (int sig : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) std::signal(sig, onSignal);
    }
}

long maxRssKiB() {
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Runs one input under the time limit; false when the process has grown past
// the memory limit.
bool runOne(const Bytes& input) {
    current = &input;
    ::alarm(kInputSeconds);
    LLVMFuzzerTestOneInput(input.data(), input.size());
    ::alarm(0);
    if (maxRssKiB() > kMaxRssKiB) {
        std::cerr << "\nfuzz: the process passed " << kMaxRssKiB / 1024 << " MiB of memory\n";
        saveCurrent();
        return false;
    }
    current = nullptr;
    return true;
}

class Mutator {
public:
    Mutator(std::uint64_t seed, const std::vector<Bytes>& seeds, std::size_t maxLen)
        : rng_(seed), seeds_(seeds), maxLen_(maxLen) {}

    Bytes next() {
        Bytes b = seeds_[pick(seeds_.size())];
        const std::size_t count = 1 + pick(4);
        for (std::size_t k = 0; k < count; ++k) mutate(b);
        if (b.size() > maxLen_) b.resize(maxLen_);
        return b;
    }

private:
    std::size_t pick(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(rng_() % n); }

    void mutate(Bytes& b) {
        switch (pick(10)) {
            case 0:  // flip a bit
                if (!b.empty()) b[pick(b.size())] ^= static_cast<std::uint8_t>(1u << pick(8));
                break;
            case 1: {  // an interesting byte
                static const std::uint8_t bytes[] = {0, 1, 7, 8, 0x7F, 0x80, 0xFF, '[', ']', '{', '}',
                                                     ',', ';', '"', '0', '-', '.', 'e', ' ', 'x'};
                if (!b.empty()) b[pick(b.size())] = bytes[pick(sizeof bytes)];
                break;
            }
            case 2: {  // an interesting 32-bit size or type, at a 4-byte boundary
                if (b.size() < 4) break;
                const std::size_t at = pick(b.size() / 4) * 4;
                std::uint32_t old = 0;
                std::memcpy(&old, b.data() + at, 4);
                const std::uint32_t values[] = {0,          1,          4,          8,          14,
                                                15,         0x7FFFFFFF, 0x80000000, 0xFFFFFFFF, 0xFFFFFFF8,
                                                0x10000,    0x40000,    old + 1,    old - 1,    old + 8,
                                                old - 8,    old * 2,    old * 1000, static_cast<std::uint32_t>(rng_())};
                const std::uint32_t v = values[pick(std::size(values))];
                std::memcpy(b.data() + at, &v, 4);
                break;
            }
            case 3: {  // insert a few random bytes
                const std::size_t at = pick(b.size() + 1);
                Bytes extra(1 + pick(8));
                for (auto& x : extra) x = static_cast<std::uint8_t>(rng_());
                b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), extra.begin(), extra.end());
                break;
            }
            case 4: {  // delete a range
                if (b.empty()) break;
                const std::size_t at = pick(b.size());
                const std::size_t n = 1 + pick(std::min<std::size_t>(b.size() - at, 64));
                b.erase(b.begin() + static_cast<std::ptrdiff_t>(at), b.begin() + static_cast<std::ptrdiff_t>(at + n));
                break;
            }
            case 5: {  // copy a range elsewhere
                if (b.empty()) break;
                const std::size_t at = pick(b.size());
                const std::size_t n = 1 + pick(std::min<std::size_t>(b.size() - at, 256));
                const Bytes part(b.begin() + static_cast<std::ptrdiff_t>(at),
                                 b.begin() + static_cast<std::ptrdiff_t>(at + n));
                const std::size_t to = pick(b.size() + 1);
                b.insert(b.begin() + static_cast<std::ptrdiff_t>(to), part.begin(), part.end());
                break;
            }
            case 6: {  // splice: the head of this input, the tail of another seed
                const Bytes& other = seeds_[pick(seeds_.size())];
                const std::size_t cut = pick(b.size() + 1);
                const std::size_t from = pick(other.size() + 1);
                b.resize(cut);
                b.insert(b.end(), other.begin() + static_cast<std::ptrdiff_t>(from), other.end());
                break;
            }
            case 7: {  // a range repeated in place: nests deeper, or lists longer
                if (b.empty()) break;
                const std::size_t at = pick(b.size());
                const std::size_t n = 1 + pick(std::min<std::size_t>(b.size() - at, 64));
                const std::size_t times = 1 + pick(pick(2) ? 100 : 5000);
                const Bytes part(b.begin() + static_cast<std::ptrdiff_t>(at),
                                 b.begin() + static_cast<std::ptrdiff_t>(at + n));
                Bytes repeated;
                repeated.reserve(std::min(maxLen_, part.size() * times));
                for (std::size_t i = 0; i < times && repeated.size() < maxLen_; ++i)
                    repeated.insert(repeated.end(), part.begin(), part.end());
                b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), repeated.begin(), repeated.end());
                break;
            }
            case 8:  // cut short
                b.resize(pick(b.size() + 1));
                break;
            case 9: {  // a token of the input languages
                static const char* const tokens[] = {"[",     "]",   "{",      "}",     ",",      ";",       "\"re\":",
                                                     "\"im\":", "null", "\"NaN\"", "\"Inf\"", "1e999", "-0",     "0x10",
                                                     "1e-400", "[]",  "{}",     "\"\\u0000\"", "\xff\xfe", "   ",
                                                     "<",      ">",   "</",     "/>",    "&amp;",  "&#x",     "<![CDATA[",
                                                     "]]>",    "<!--", "-->",   "<widget class='QMenu' name='m'>",
                                                     "</widget>", "<item><property name='text'><string>"};
                const std::string t = tokens[pick(std::size(tokens))];
                const std::size_t at = pick(b.size() + 1);
                b.insert(b.begin() + static_cast<std::ptrdiff_t>(at), t.begin(), t.end());
                break;
            }
        }
    }

    std::mt19937_64 rng_;
    const std::vector<Bytes>& seeds_;
    std::size_t maxLen_;
};

Bytes readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

int usage(const char* program) {
    std::cerr << "usage: " << program << " [--seconds S] [--runs N] [--seed K] [--max-len BYTES] PATH...\n";
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    double seconds = 20;
    std::uint64_t runs = 0;  // 0: no limit but the time
    std::uint64_t seed = 1;
    std::size_t maxLen = 256 * 1024;
    std::vector<std::filesystem::path> paths;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) std::exit(usage(argv[0]));
            return argv[++i];
        };
        if (arg == "--seconds") seconds = std::stod(value());
        else if (arg == "--runs") runs = std::stoull(value());
        else if (arg == "--seed") seed = std::stoull(value());
        else if (arg == "--max-len") maxLen = std::stoull(value());
        else if (arg.rfind("--", 0) == 0) return usage(argv[0]);
        else paths.emplace_back(arg);
    }
    if (paths.empty()) return usage(argv[0]);

    std::vector<std::filesystem::path> files;
    for (const auto& p : paths) {
        if (std::filesystem::is_directory(p)) {
            for (const auto& e : std::filesystem::directory_iterator(p))
                if (e.is_regular_file()) files.push_back(e.path());
        } else {
            files.push_back(p);
        }
    }
    std::sort(files.begin(), files.end());
    std::vector<Bytes> seeds;
    for (const auto& f : files) seeds.push_back(readAll(f));
    if (seeds.empty()) {
        std::cerr << argv[0] << ": no seed files\n";
        return 2;
    }

    const std::string program = std::filesystem::path(argv[0]).filename().string();
    std::snprintf(crashPath, sizeof crashPath, "crash-%s-%llu.bin", program.c_str(),
                  static_cast<unsigned long long>(seed));
    installHandlers();

    // A single file given alone is a saved input to run again.
    for (const auto& s : seeds)
        if (!runOne(s)) return 1;
    if (paths.size() == 1 && !std::filesystem::is_directory(paths[0])) {
        std::cout << program << ": ran " << paths[0].string() << " without a fault\n";
        return 0;
    }

    Mutator mutator(seed, seeds, maxLen);
    const auto start = std::chrono::steady_clock::now();
    std::uint64_t done = 0;
    while (runs == 0 || done < runs) {
        if (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() >= seconds) break;
        const Bytes input = mutator.next();
        if (!runOne(input)) return 1;
        ++done;
    }
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::cout << program << ": " << seeds.size() << " seeds and " << done << " mutated inputs in " << took
              << " s (seed " << seed << "), no faults; peak memory " << maxRssKiB() / 1024 << " MiB\n";
    return 0;
}
