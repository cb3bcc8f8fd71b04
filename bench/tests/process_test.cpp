#include "process.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "zubtest/tempdir.h"

namespace zub::bench::test {

namespace {

TEST(Process, CapturesBothOutputsAndTheExitCode) {
    const ProcessResult r = Process::Run({"sh", "-c", "echo out; echo err >&2; exit 3"});
    EXPECT_EQ(r.exitCode, 3);
    EXPECT_EQ(r.out, "out\n");
    EXPECT_EQ(r.err, "err\n");
    EXPECT_GT(r.seconds, 0.0);
}

TEST(Process, AKilledChildReportsTheSignal) {
    const ProcessResult r = Process::Run({"sh", "-c", "kill -9 $$"});
    EXPECT_EQ(r.exitCode, 128 + 9);
}

TEST(Process, OutputLargerThanAPipeDoesNotBlock) {
    // 1 MiB: far beyond a pipe's buffer.
    const ProcessResult r = Process::Run({"head", "-c", "1048576", "/dev/zero"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out.size(), 1048576u);
}

TEST(Process, RunsInTheGivenFolder) {
    zub::testsupport::TempDir dir;
    const ProcessResult r = Process::Run({"pwd", "-P"}, dir.path());
    EXPECT_EQ(r.out, std::filesystem::canonical(dir.path()).string() + "\n");
}

TEST(Process, ChildReadsNoInput) {
    const ProcessResult r = Process::Run({"cat"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "");
}

TEST(Process, RunCheckedNamesTheCommandAndItsErrorText) {
    try {
        Process::RunChecked({"sh", "-c", "echo broken >&2; exit 1"});
        FAIL() << "no exception";
    } catch (const std::runtime_error& e) {
        const std::string what = e.what();
        EXPECT_NE(what.find("sh -c echo broken >&2; exit 1 exited with 1"), std::string::npos)
            << what;
        EXPECT_NE(what.find("broken"), std::string::npos) << what;
    }
    EXPECT_NO_THROW(Process::RunChecked({"true"}));
}

TEST(Process, AMissingProgramIsAnError) {
    EXPECT_THROW(Process::Run({"zub-no-such-program-here"}), std::runtime_error);
    EXPECT_THROW(Process::Run({}), std::invalid_argument);
}

TEST(Process, PeakMemoryIsTheChildsOwnOrUnknown) {
    // tail -c keeps the last 64 MiB of a pipe in memory: far above our own
    // peak, so the child's figure is reported. A tiny child cannot be told
    // apart from us: 0, not our own peak passed off as its.
    const ProcessResult big =
        Process::Run({"sh", "-c", "head -c 67108864 /dev/zero | tail -c 67108864 >/dev/null"});
    EXPECT_EQ(big.exitCode, 0);
    EXPECT_GE(big.peakRssBytes, 60LL << 20);
    const ProcessResult small = Process::Run({"true"});
    EXPECT_EQ(small.exitCode, 0);
    EXPECT_EQ(small.peakRssBytes, 0);
}

}  // namespace

}  // namespace zub::bench::test
