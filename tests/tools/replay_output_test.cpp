// replay_output_test.cpp -- the replay tool's outputs never destroy what they name: devices,
// FIFOs, links, one file named twice, closed descriptors, closed pipes, full files
// SPDX-License-Identifier: MIT
#include "runreplay.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <linux/capability.h> // CAP_DAC_OVERRIDE
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h> // makedev
#include <thread>
#include <unistd.h>

static bool has(const result &r, const char *text) {
    return r.err.find(text) != std::string::npos;
}

TEST(ReplayOutput, FifosAndDevicesAreWrittenInPlace) {
    scratch s;
    // A FIFO: its reader gets the whole dump, and it stays a FIFO.
    std::string fifo = s.path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    // Held open both ways, so the reader's open never waits and it sees the end only once
    // this is closed, whatever the tool did with the name.
    int keep = open(fifo.c_str(), O_RDWR);
    std::vector<unsigned char> got;
    std::thread reader([&] { got = readfile(fifo); });
    result r = replay({"--seed", "1", "--dump", fifo});
    close(keep);
    reader.join();
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ((long)got.size(), dumpbytes);
    struct stat st;
    ASSERT_EQ(stat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));

    // /dev/stdout on a file opened for appending: appended to, not replaced.
    std::string log = s.path("log");
    FILE *f = fopen(log.c_str(), "w");
    ASSERT_TRUE(f);
    fputs("old", f);
    fclose(f);
    r = replay({"--seed", "1", "--dump", "/dev/stdout"}, nullptr,
               [&] { dup2(open(log.c_str(), O_WRONLY | O_APPEND), 1); });
    EXPECT_EQ(r.status, 0) << r.err;
    std::vector<unsigned char> appended = readfile(log);
    EXPECT_EQ((long)appended.size(), 3 + dumpbytes);
    EXPECT_TRUE(appended.size() > 3 && !memcmp(appended.data(), "old", 3) &&
                std::equal(got.begin(), got.end(), appended.begin() + 3));

    // Copies of /dev/null and /dev/full: written through, never replaced.
    std::string null = s.path("null"), full = s.path("full");
    if (mknod(null.c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0 ||
        mknod(full.c_str(), S_IFCHR | 0666, makedev(1, 7)) != 0)
        GTEST_SKIP() << "cannot make device nodes here: " << strerror(errno);
    int probe = open(null.c_str(), O_WRONLY); // a nodev mount refuses them
    if (probe < 0) GTEST_SKIP() << "device nodes do not open here: " << strerror(errno);
    close(probe);
    // A device takes any number of outputs.
    r = replay({"--seed", "1", "--frames", "1", "--dump", null, "--png", null});
    EXPECT_EQ(r.status, 0) << r.err;
    // Both writers name the reason they failed.
    for (const char *opt : {"--dump", "--png"}) {
        r = replay({"--seed", "1", "--frames", "1", opt, full});
        EXPECT_EQ(r.status, 1) << opt;
        EXPECT_TRUE(has(r, "cannot write ") && has(r, strerror(ENOSPC))) << r.err;
    }
    r = replay({"--help"}, nullptr, [&] { dup2(open(full.c_str(), O_WRONLY), 1); });
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r, "cannot write the help: ") && has(r, strerror(ENOSPC))) << r.err;
    for (const std::string &dev : {null, full}) {
        ASSERT_EQ(stat(dev.c_str(), &st), 0);
        EXPECT_TRUE(S_ISCHR(st.st_mode)) << dev;
    }
    EXPECT_EQ(s.files().size(), 4u) << "a temporary was left";
}

TEST(ReplayOutput, LinksAreFollowedToTheFileTheyName) {
    scratch s;
    ASSERT_EQ(mkdir(s.path("sub").c_str(), 0755), 0);
    std::string real = s.path("sub/real");
    FILE *f = fopen(real.c_str(), "w");
    ASSERT_TRUE(f);
    fputs("old", f);
    fclose(f);
    ASSERT_EQ(chmod(real.c_str(), 0640), 0);
    ASSERT_EQ(symlink("sub/real", s.path("link").c_str()), 0);
    ASSERT_EQ(symlink("sub/new", s.path("dangling").c_str()), 0);
    for (const char *name : {"link", "dangling"}) {
        result r = replay({"--seed", "1", "--dump", s.path(name)});
        EXPECT_EQ(r.status, 0) << r.err;
        struct stat st;
        ASSERT_EQ(lstat(s.path(name).c_str(), &st), 0);
        EXPECT_TRUE(S_ISLNK(st.st_mode)) << name << " was replaced";
    }
    EXPECT_EQ((long)readfile(real).size(), dumpbytes);
    EXPECT_EQ((long)readfile(s.path("sub/new")).size(), dumpbytes);
    // The replaced file keeps its mode; no temporary is left beside the link or the file.
    struct stat st;
    ASSERT_EQ(stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(s.files().size(), 3u);
    EXPECT_EQ(s.files("sub").size(), 2u);
}

TEST(ReplayOutput, OneFileNamedTwiceIsRefused) {
    scratch s;
    ASSERT_EQ(mkdir(s.path("sub").c_str(), 0755), 0);
    ASSERT_EQ(symlink("sub", s.path("via").c_str()), 0);
    fclose(fopen(s.path("sub/real").c_str(), "w"));
    ASSERT_EQ(link(s.path("sub/real").c_str(), s.path("hard").c_str()), 0);
    ASSERT_EQ(symlink("sub/real", s.path("soft").c_str()), 0);
    const std::pair<std::string, std::string> same[] = {
        {"x", "./x"},                                // neither there yet, in the working folder
        {s.path("sub/new"), s.path("./sub/new")},    // one spelled through ./
        {s.path("via/new"), s.path("sub/new")},      // through a linked folder
        {s.path("soft"), s.path("sub/real")},        // a link and its file
        {s.path("hard"), s.path("sub/real")},        // two names of one inode
        {s.path("via/../sub/real"), s.path("hard")}, // both there, spelled apart
    };
    for (const auto &[a, b] : same) {
        result r = replay({"--frames", "1", "--dump", a, "--png", b}, nullptr,
                          [&] { EXPECT_EQ(chdir(s.dir.c_str()), 0); });
        EXPECT_EQ(r.status, 2) << a << " " << b;
        EXPECT_TRUE(has(r, "--dump and --png name the same file")) << r.err;
    }
    EXPECT_EQ(access(s.path("x").c_str(), F_OK), -1);
    EXPECT_EQ(access(s.path("sub/new").c_str(), F_OK), -1);
}

TEST(ReplayOutput, ClosedDescriptorsAreNeverTakenByAnOutput) {
    scratch s;
    // Standard output closed: - has nowhere to go, and the still does not take its place.
    result r = replay({"--seed", "1", "--frames", "1", "--dump", "-", "--png", s.path("p.png")},
                      nullptr, [] { close(1); });
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r, "cannot write standard output")) << r.err;
    EXPECT_TRUE(s.files().empty());
    // Standard input and error closed while the GL libraries chatter on standard error.
    r = replay(
        {"--seed", "1", "--frames", "1", "--dump", s.path("d.bin"), "--png", s.path("p.png")},
        nullptr, [] {
            close(0), close(2);
            setenv("EGL_LOG_LEVEL", "debug", 1);
        });
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ((long)readfile(s.path("d.bin")).size(), dumpbytes);
}

TEST(ReplayOutput, ClosedPipeAndFileSizeLimitAreWriteErrors) {
    scratch s;
    // As "| head -c 100": the dump's reader goes, the still's temporary goes with the run.
    int p[2];
    ASSERT_EQ(pipe(p), 0);
    std::thread reader([&] {
        char buf[100];
        for (size_t got = 0; got < sizeof buf;) {
            ssize_t n = read(p[0], buf + got, sizeof buf - got);
            if (n <= 0) break;
            got += (size_t)n;
        }
        close(p[0]);
    });
    result r = replay({"--seed", "1", "--frames", "1", "--dump", "-", "--png", s.path("p.png")},
                      nullptr, [&] { dup2(p[1], 1), close(p[0]), close(p[1]); });
    close(p[1]);
    reader.join();
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r, "cannot write standard output: ") && has(r, strerror(EPIPE))) << r.err;
    EXPECT_TRUE(s.files().empty());
    // As "ulimit -f 1024": the file stops growing at 1 MiB.
    r = replay({"--seed", "1", "--dump", s.path("d.bin")}, nullptr, [] {
        rlimit l = {1 << 20, 1 << 20};
        setrlimit(RLIMIT_FSIZE, &l);
    });
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r, "d.bin: ") && has(r, strerror(EFBIG))) << r.err;
    EXPECT_TRUE(s.files().empty());
}

// The file is replaced through a new one beside it, so a folder that takes none is the fault.
TEST(ReplayOutput, AFolderThatTakesNoNewFileIsNamed) {
    scratch s;
    const std::string ro = s.path("ro"), mine = s.path("ro/mine");
    ASSERT_EQ(mkdir(ro.c_str(), 0755), 0);
    FILE *f = fopen(mine.c_str(), "w");
    ASSERT_TRUE(f);
    fputs("old", f);
    fclose(f);
    ASSERT_EQ(chmod(ro.c_str(), 0555), 0);
    // Root writes anywhere: the tool runs without that power (from wherever it was built).
    result r = replay({"--seed", "1", "--dump", mine}, nullptr, [] {
        if (getuid() == 0 && prctl(PR_CAPBSET_DROP, CAP_DAC_OVERRIDE) != 0) _exit(126);
    });
    chmod(ro.c_str(), 0755);
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(has(r, ("no file can be created in " + ro + ": " + strerror(EACCES)).c_str()))
        << r.err;
    EXPECT_EQ(readfile(mine).size(), 3u);
}
