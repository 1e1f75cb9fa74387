#include "launcher/xr_helper_test_support.h"
#include "support/xr_temp_root.h"

#include <gtest/gtest.h>

using namespace xr_test;

namespace {

const char* const kProgram = "/usr/libexec/kestrova-navigator";

class LauncherTest : public ::testing::Test {
protected:
    // Installs a shell script as the main program. It counts its starts in
    // <root>/state/count and records its arguments, one a line, in
    // <root>/state/args.<n>; `body` follows with $n set.
    void install_child(const std::string& body)
    {
        state = root.make_dirs("/state");
        const std::string path = root.write_file(kProgram,
            "#!/bin/sh\n"
            "n=$(cat '" + state + "/count' 2>/dev/null || echo 0)\n"
            "n=$((n + 1))\n"
            "echo $n > '" + state + "/count'\n"
            "printf '%s\\n' \"$0\" \"$@\" > '" + state + "/args.'$n\n" + body);
        chmod(path.c_str(), 0755);
    }

    // A child that runs until SIGTERM, which it answers with `on_term`. It
    // gives up after 30 s, so that a failed test leaves no process behind.
    void install_waiting_child(const std::string& on_term, const std::string& first = "")
    {
        install_child(first + "trap \"" + on_term + "\" TERM\n"
                      "touch '" + root.dir() + "/state/ready'\n"
                      "i=0; while [ $i -lt 600 ]; do sleep 0.05; i=$((i + 1)); done\n");
    }

    // Starts the launcher and sends it SIGTERM once the child waits.
    void terminate_when_ready()
    {
        ASSERT_TRUE(start());
        ASSERT_TRUE(wait_for([&] { return file_exists(state + "/ready"); }));
        launcher.signal(SIGTERM);
    }

    int starts() const { return std::atoi(read_file(state + "/count").c_str()); }
    std::string args(int n) const { return read_file(state + "/args." + std::to_string(n)); }

    // Runs the launcher with `argv` after the program name.
    bool start(const std::vector<std::string>& argv = {}, const std::vector<std::string>& env = {},
               bool own_group = false)
    {
        std::vector<std::string> all{XR_LAUNCHER_PROGRAM};
        all.insert(all.end(), argv.begin(), argv.end());
        return launcher.start(all, env, -1, -1, errors.write_fd, own_group);
    }

    // Runs the launcher with the test shim preloaded, `what` telling it what
    // to do; its kill() calls go to kill_log().
    bool start_with_shim(const std::string& what)
    {
        const char* asan = std::getenv("ASAN_OPTIONS");
        const std::string asan_options = std::string(asan != nullptr ? asan : "") + ":verify_asan_link_order=0";
        return start({}, {"LD_PRELOAD=" XR_LAUNCHER_SHIM, what, "XR_SHIM_KILL_LOG=" + kill_log(),
                          "ASAN_OPTIONS=" + asan_options},
                     true);
    }

    std::string kill_log() const { return root.dir() + "/kills"; }

    std::string stderr_text()
    {
        errors.close_write();
        std::string text;
        read_all(errors.read_fd, text);
        return text;
    }

    XrTempRoot root;
    std::string state;
    Pipe errors;
    Process launcher;
};

TEST_F(LauncherTest, RestartsWithTheSameArgumentsWhileTheChildEndsWith42)
{
    install_child("[ $n -le 3 ] && exit 42\nexit 0\n");
    ASSERT_TRUE(start({"--no-splash", "two words", "", "--wizard"}));
    EXPECT_EQ(launcher.exit_status(), 0);
    ASSERT_EQ(starts(), 4);
    const std::string expected = root.dir() + kProgram + "\n--no-splash\ntwo words\n\n--wizard\n";
    for (int n = 1; n <= 4; ++n)
        EXPECT_EQ(args(n), expected) << "start " << n;
    EXPECT_EQ(stderr_text(), "");
}

TEST_F(LauncherTest, AnyOtherEndIsNotRestarted)
{
    struct Case {
        const char* body;
        const char* what;
    };
    const Case cases[] = {
        {"exit 0\n", "exit 0"},
        {"exit 1\n", "exit 1"},
        {"exit 2\n", "exit 2"},
        {"exit 43\n", "exit 43"},
        {"kill -KILL $$\n", "SIGKILL"},
    };
    for (const Case& c : cases) {
        install_child(c.body);
        std::remove((state + "/count").c_str());
        ASSERT_TRUE(start());
        EXPECT_EQ(launcher.exit_status(), 0) << c.what;
        EXPECT_EQ(starts(), 1) << c.what;
    }
}

TEST_F(LauncherTest, PassesSigtermOnToTheChild)
{
    install_waiting_child("echo TERM > '" + root.dir() + "/state/got'; exit 7");
    ASSERT_NO_FATAL_FAILURE(terminate_when_ready());
    EXPECT_EQ(launcher.exit_status(), 0);
    EXPECT_EQ(read_file(state + "/got"), "TERM\n");
    EXPECT_EQ(starts(), 1);
}

TEST_F(LauncherTest, AChildEndingWith42AfterSigtermIsStartedAgain)
{
    install_waiting_child("exit 42", "[ $n -ge 2 ] && exit 0\n");
    ASSERT_NO_FATAL_FAILURE(terminate_when_ready());
    EXPECT_EQ(launcher.exit_status(), 0);
    EXPECT_EQ(starts(), 2);
}

TEST_F(LauncherTest, AProgramThatCannotBeExecutedEndsItWithAnError)
{
    // Missing, then present but not executable.
    ASSERT_TRUE(start());
    EXPECT_EQ(launcher.exit_status(), 2);
    EXPECT_NE(stderr_text().find("exec failed: " + root.dir() + kProgram + ": No such file or directory\n"),
              std::string::npos);

    root.write_file(kProgram, "#!/bin/sh\nexit 0\n");
    Pipe again;
    ASSERT_TRUE(launcher.start({XR_LAUNCHER_PROGRAM}, {}, -1, -1, again.write_fd));
    EXPECT_EQ(launcher.exit_status(), 2);
    again.close_write();
    std::string text;
    read_all(again.read_fd, text);
    EXPECT_NE(text.find("Permission denied"), std::string::npos) << text;
}

TEST_F(LauncherTest, SigtermWithoutAChildSignalsNoOtherProcess)
{
    // fork fails right after a SIGTERM has arrived. The launcher runs in a
    // process group of its own, which kill(0, ...) would reach.
    install_child("exit 0\n");
    ASSERT_TRUE(start_with_shim("XR_SHIM_FAIL_FORK=1"));
    EXPECT_EQ(launcher.exit_status(), 1);
    EXPECT_EQ(stderr_text(), "fork failed: Resource temporarily unavailable\n");
    EXPECT_FALSE(file_exists(kill_log())) << read_file(kill_log());
    EXPECT_FALSE(file_exists(state + "/count"));
}

TEST_F(LauncherTest, SigtermRightAfterTheChildWasReapedSignalsNothing)
{
    // Its id may already belong to another process.
    install_child("exit 0\n");
    ASSERT_TRUE(start_with_shim("XR_SHIM_TERM_AFTER_REAP=1"));
    EXPECT_EQ(launcher.exit_status(), 0);
    EXPECT_EQ(starts(), 1);
    EXPECT_FALSE(file_exists(kill_log())) << read_file(kill_log());
}

} // namespace
