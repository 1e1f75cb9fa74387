// Programs compiled by ecj print the same bytes under kojvm as under
// OpenJDK's interpreter (java -Xint) on the same class files.
#include "jvm_run.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

bool have_java() { return access("/usr/bin/java", X_OK) == 0; }

struct Program {
    const char* name;
    int status;
    const char* first_line;
    const char* scratch = nullptr; // folder the program makes, removed before each run
    const char* options = "";      // kojvm's options (a small heap makes the collector work)
};

const Program kPrograms[] = {
    {"Sieve", 0, "primes below 100000: 9592, sum 454396537"},
    {"Strings", 0, nullptr},
    {"Exceptions", 1, "caught bottom code 7 depth 0"},
    {"Shapes", 0, nullptr},
    {"Threads", 0, "counter 10000 shared 4000"},
    {"Waits", 0, "timed wait ran to its limit"},
    {"ForName", 0, "loaded ForName$Present"},
    {"FileStreams", 0, "first h available 12"},
    {"Reflect", 0, nullptr},
    {"DataStreams", 0, "written 91"},
    {"Members", 0, "byte decode: 127 -128", "/tmp/kojvm-members"},
    {"Files", 0, "kojvm-files: exists true file false directory true read true write true"},
    {"GcChurn", 0, "kept 8000 nodes, checksum 33831867, garbage 4793090", nullptr, "-Xmx1m"},
    {"GcThreads", 0, nullptr, nullptr, "-Xmx256k"},
    {"Finalizers", 0, "finalized 500 sum 124750", nullptr, "-Xmx1m"},
    {"StackTraces", 0, "StackTraces$Failure: 4 frames"},
    {"Encodings", 0, nullptr},
    {"NumberEdges", 0, nullptr},
    {"FloatText", 0, "d 4.9E-324 -4.9E-324 0.0"},
    {"HexLiterals", 0, "d 1.0 4607182418800017408"},
    {"FileMoves", 0, "before: a.txt true 5 / b.txt false 0", "/tmp/kojvm-filemoves"},
};

class ProgramTest : public ::testing::TestWithParam<Program> {};

TEST_P(ProgramTest, SameOutputAsTheReferenceInterpreter)
{
    const Program& p = GetParam();
    auto clean = [&p] {
        if (p.scratch)
            std::filesystem::remove_all(p.scratch);
    };
    clean();
    JvmOutcome ours = kojvm_run(p.name, p.options);
    clean();
    EXPECT_EQ(ours.status, p.status);
    ASSERT_FALSE(ours.out.empty());
    if (p.first_line) {
        EXPECT_EQ(ours.out.substr(0, ours.out.find('\n')), p.first_line);
    }
    if (!have_java())
        GTEST_SKIP() << "java not installed: output not compared";
    JvmOutcome ref = jvm_run(std::string("java -Xint -cp ") + KOJVM_PROGRAMS + " " + p.name);
    clean();
    EXPECT_EQ(ref.status, ours.status);
    EXPECT_EQ(ref.out, ours.out);
}

INSTANTIATE_TEST_SUITE_P(Programs, ProgramTest, ::testing::ValuesIn(kPrograms),
                         [](const ::testing::TestParamInfo<Program>& i) { return std::string(i.param.name); });

// Every collection of the test build verifies the heap; here each safe point
// that allocates collects, on a heap of a few areas.
class StressTest : public ::testing::TestWithParam<const char*> {};

TEST_P(StressTest, CollectingAtEverySafePointKeepsTheOutput)
{
    JvmOutcome plain = kojvm_run(GetParam());
    JvmOutcome stressed = kojvm_run(GetParam(), "-Xmx512k -Xgc:stress");
    EXPECT_EQ(stressed.status, plain.status);
    ASSERT_FALSE(stressed.out.empty());
    EXPECT_EQ(stressed.out, plain.out);
}

INSTANTIATE_TEST_SUITE_P(Programs, StressTest,
                         ::testing::Values("Strings", "Exceptions", "Shapes", "Reflect", "Finalizers", "StackTraces",
                                           "Encodings", "ForName", "Waits"),
                         [](const ::testing::TestParamInfo<const char*>& i) { return std::string(i.param); });

// The churning program runs through hundreds of collections of the young
// generation and collects the older ones too.
TEST(Kojvm, ChurnCollectsEveryGeneration)
{
    JvmOutcome r = kojvm_run("GcChurn", "-Xmx1m -Xgc:report");
    ASSERT_EQ(r.status, 0);
    int counts[3] = {0, 0, 0};
    for (std::size_t at = r.out.find("GC "); at != std::string::npos; at = r.out.find("\nGC ", at + 1)) {
        std::size_t g = r.out[at] == '\n' ? at + 4 : at + 3;
        if (r.out[g] >= '0' && r.out[g] <= '2')
            ++counts[r.out[g] - '0'];
    }
    EXPECT_GE(counts[0], 200);
    EXPECT_GE(counts[1], 1);
    EXPECT_GE(counts[2], 1);
    EXPECT_NE(r.out.find("kept 8000 nodes, checksum 33831867"), std::string::npos);
}

TEST(Kojvm, MissingMainClassFails)
{
    JvmOutcome r = kojvm_run("NoSuchClass");
    EXPECT_EQ(r.status, 1);
}

} // namespace
