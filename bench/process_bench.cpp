// The whole `tolvane generate` process at the heaviest configuration users
// run (oversampling 30, MAC and data on, instrument .bin file), beside the
// calculate step alone: start-up, loading, filter designs, page faults of
// fresh buffers and the file write all count here.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

extern char** environ;

namespace {

int runProcess(std::vector<std::string> args) {
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int rc = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_GenerateProcess(benchmark::State& state) {
    const std::string out =
        (std::filesystem::temp_directory_path() / ("tolvane-bench-" + std::to_string(::getpid()) + ".bin")).string();
    const std::vector<std::string> args = {TOLVANE_CLI, "generate", "--seed", "1", "--set", "OverSampling=30",
                                           "--set", "MACchnActive=1", "--set", "DATAchnActive=1", "--out", out};
    for (auto _ : state) {
        if (runProcess(args) != 0) {
            state.SkipWithError("tolvane generate failed");
            break;
        }
    }
    std::filesystem::remove(out);
}
BENCHMARK(BM_GenerateProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
