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
    JvmOutcome ours = kojvm_run(p.name);
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

TEST(Kojvm, MissingMainClassFails)
{
    JvmOutcome r = kojvm_run("NoSuchClass");
    EXPECT_EQ(r.status, 1);
}

} // namespace
