// Every input of the fuzzer's seed corpus, the sessions on large screens
// that it is not seeded with (tests/fuzz/large) and every input that once
// made it fail (tests/fuzz/regressions) replayed as a session of the
// program, in every build: each must end with exit code 0 and every GDI
// object back.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/session.h"
#include "host/headless/headless.h"

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsIn(const char *folder)
{
    std::vector<fs::path> files;
    fs::path dir = fs::path(KP_TEST_DATA_DIR) / ".." / "fuzz" / folder;
    if (!fs::is_directory(dir))
        return files;
    for (const fs::directory_entry &entry : fs::directory_iterator(dir))
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.')
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<uint8_t> Read(const fs::path &file)
{
    std::ifstream in(file, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

void ReplayAll(const char *folder, size_t atLeast)
{
    std::vector<fs::path> files = InputsIn(folder);
    ASSERT_GE(files.size(), atLeast) << "inputs in tests/fuzz/" << folder;
    // The fuzzer runs every session on one host: each must go there as it
    // goes on a host of its own.
    kp::host::HeadlessHost shared;
    for (const fs::path &file : files) {
        SCOPED_TRACE(file.filename().string());
        std::vector<uint8_t> bytes = Read(file);
        kpfuzz::SessionResult result = kpfuzz::RunSession(bytes.data(), bytes.size());
        EXPECT_TRUE(result.ok) << result.failure;
        EXPECT_GE(result.rounds, 1) << "the program never waited in its message loop";
        kpfuzz::SessionResult again = kpfuzz::RunSession(shared, bytes.data(), bytes.size());
        EXPECT_TRUE(again.ok) << again.failure;
        EXPECT_EQ(again.rounds, result.rounds);
        EXPECT_EQ(again.operations, result.operations);
    }
}

TEST(FuzzReplay, SeedCorpusSessionsEndCleanly)
{
    ReplayAll("corpus", 8);
}

TEST(FuzzReplay, LargeScreenSessionsEndCleanly)
{
    ReplayAll("large", 1);
}

TEST(FuzzReplay, RegressionInputsEndCleanly)
{
    ReplayAll("regressions", 0);
}

}  // namespace
