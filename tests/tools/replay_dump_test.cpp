// replay_dump_test.cpp -- the replay tool's dump: layout, order, seeds, frames and presses
// SPDX-License-Identifier: MIT
#include "runreplay.h"

#include "anim/anim.h"
#include "app/app.h"
#include "scene/random.h"
#include "scene/scene.h"
#include "world/world.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

static std::vector<unsigned char> dumpof(const std::vector<std::string> &args) {
    scratch s;
    std::vector<std::string> a = args;
    a.push_back("--dump");
    a.push_back(s.path("d.bin"));
    result r = replay(a);
    EXPECT_EQ(r.status, 0) << r.err;
    return readfile(s.path("d.bin"));
}

// A scalar's process-start value, from the store's list.
static double startof(const char *name) {
#define STARTOF(type, n, start, rewritten)                                                         \
    if (!strcmp(name, #n)) return start;
    SCENE_SCALARS(STARTOF)
    return std::nan("");
}

// The demo's frame, done here with the library: drain (the press), calcme, changecolc.
static void demoframes(uint32_t seed, int frames, int pressframe, SDLKey key) {
    resetscene();
    buildworld(seed);
    for (int f = 1; f <= frames; f++) {
        if (f == pressframe) presskey(key);
        calcme();
        changecolc();
    }
}

// Every array, scalar and the random state at its place in the layout, as the library's own
// frames leave them.
TEST(ReplayDump, HoldsEveryPartOfTheLayoutInOrder) {
    static_assert(std::endian::native == std::endian::little, "compares raw host memory");
    std::vector<unsigned char> d =
        dumpof({"--seed", "424242", "--frames", "700", "--press", "650:up"});
    ASSERT_EQ((long)d.size(), dumpbytes);
    demoframes(424242, 700, 650, SDLK_UP);
    long off = 0;
    for (int k = 0; k < ndumpparts; k++) {
        const dumppart &p = dumpparts[k];
        EXPECT_EQ(memcmp(&d[off], p.at, p.bytes), 0) << p.name << " at " << off;
        off += p.bytes;
    }
    EXPECT_EQ(off, dumpbytes);
}

TEST(ReplayDump, FreshWorldHasStartValuesAndTheGenerationsRandomState) {
    const uint32_t seed = 3141592653u;
    std::vector<unsigned char> d = dumpof({"--seed", "3141592653"});
    ASSERT_EQ((long)d.size(), dumpbytes);
    for (const char *n : {"mmover", "ccmove", "cbound"})
        EXPECT_EQ(scalarfloat(d, n), startof(n)) << n;
    for (const char *n : {"fxcounter", "maxfx", "rpos", "rstep", "colstepz"})
        EXPECT_EQ(scalarint(d, n), startof(n)) << n;
    // The generation's draws, one step of the generator each.
    uint32_t state = seed;
    for (int i = 0; i < worlddraws; i++)
        state = state * 1103515245u + 12345u;
    EXPECT_EQ(word(d, dumpat("randomstate")), state);
    // The first car: speed 16.2, colour 0.1, at the origin; roaming camera at height 800.
    EXPECT_EQ(fword(d, dumpat("carz") + 3 * 4), 16.2f);
    EXPECT_EQ(fword(d, dumpat("carz") + 7 * 4), 0.1f);
    EXPECT_EQ(fword(d, dumpat("carz") + 0), 0.0f);
    EXPECT_EQ(fword(d, dumpat("mycamz") + 1 * 4), 800.0f);
    EXPECT_EQ((int32_t)word(d, dumpat("mycamz") + 20 * 4), 2000);         // lookcounter
    EXPECT_EQ((int32_t)word(d, dumpat("mycamz") + 21 * 4), roamlooktime); // looktime
}

TEST(ReplayDump, SameSeedGivesTheSameBytesAndOtherSeedsDiffer) {
    std::vector<unsigned char> a = dumpof({"--seed", "77", "--frames", "40"});
    std::vector<unsigned char> b = dumpof({"--seed", "77", "--frames", "40"});
    std::vector<unsigned char> c = dumpof({"--seed", "78", "--frames", "40"});
    ASSERT_EQ((long)a.size(), dumpbytes);
    EXPECT_TRUE(a == b);
    ASSERT_EQ(c.size(), a.size());
    EXPECT_NE(memcmp(&a[dumpat("cityz")], &c[dumpat("cityz")], 480000), 0);
    // Standard output gets the same bytes.
    scratch s;
    result r = replay({"--seed", "77", "--frames", "40", "--dump", "-"}, s.path("out").c_str());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(readfile(s.path("out")) == a);
}

TEST(ReplayDump, SeedsDifferingOnlyInTheTopBitBuildTheSameCity) {
    std::vector<unsigned char> a = dumpof({"--seed", "5"}), b = dumpof({"--seed", "2147483653"});
    ASSERT_EQ((long)a.size(), dumpbytes);
    ASSERT_EQ(b.size(), a.size());
    EXPECT_EQ(memcmp(a.data(), b.data(), dumpat("randomstate")), 0);
    EXPECT_EQ(word(a, dumpat("randomstate")) ^ word(b, dumpat("randomstate")),
              0x80000000u); // only the state's top bit
}

TEST(ReplayDump, ClockSeedIsReportedAndReproducesTheRun) {
    scratch s;
    result r = replay({"--frames", "5", "--dump", s.path("d.bin")});
    ASSERT_EQ(r.status, 0) << r.err;
    unsigned seed = 0;
    ASSERT_EQ(sscanf(r.err.c_str(), "gridcity-replay: seed %u", &seed), 1) << r.err;
    EXPECT_TRUE(readfile(s.path("d.bin")) ==
                dumpof({"--seed", std::to_string(seed), "--frames", "5"}));
}

TEST(ReplayDump, ColourSweepAdvancesTenBuildingsEachFrame) {
    for (int n : {1, 1199, 1250}) {
        std::vector<unsigned char> d = dumpof({"--seed", "5", "--frames", std::to_string(n)});
        ASSERT_EQ((long)d.size(), dumpbytes);
        EXPECT_EQ(scalarint(d, "colstepz"), colourpasses * n % (lastswept + 1)) << n;
    }
}

TEST(ReplayDump, PressIsDeliveredBeforeThatFramesStep) {
    // Car camera: before frame 3's step it is untouched (lookcounter 2000); the step in which
    // it is first active starts a look leg (counter 0) and puts the eye at height 27.
    const long car = dumpat("mycamz") + 88;
    std::vector<unsigned char> d = dumpof({"--seed", "9", "--frames", "3", "--press", "3:up"});
    EXPECT_EQ(scalarint(d, "whichcam"), 1);
    EXPECT_EQ((int32_t)word(d, car + 20 * 4), 0);
    EXPECT_EQ(fword(d, car + 7 * 4), 27.0f);

    std::vector<unsigned char> none = dumpof({"--seed", "9", "--frames", "3"});
    EXPECT_EQ(scalarint(none, "whichcam"), 0);
    EXPECT_EQ((int32_t)word(none, car + 20 * 4), 2000);

    // Presses of one frame arrive in the order given; Down picks the roaming camera again.
    std::vector<unsigned char> both =
        dumpof({"--seed", "9", "--frames", "3", "--press", "3:up", "--press", "3:down"});
    EXPECT_EQ(scalarint(both, "whichcam"), 0);
    EXPECT_TRUE(both == none);
}

// Bad input: status 2 and nothing written; an unwritable target: status 1, nothing left.
TEST(ReplayErrors, BadArgumentsAreRejectedWithStatusTwoAndNoFile) {
    const std::vector<std::vector<std::string>> bad = {
        {"--bogus"},
        {"seed"},
        {"--seed"},
        {"--seed", "-1"},
        {"--seed", "4294967296"},
        {"--seed", "12x"},
        {"--seed", ""},
        {"--seed", "0x10"},
        {"--seed", "1", "--seed", "2"},
        {"--frames", "-3"},
        {"--frames", "ten"},
        {"--frames"},
        {"--frames", "5", "--press", "0:up"},
        {"--frames", "5", "--press", "x:up"},
        {"--frames", "5", "--press", "2:left"},
        {"--frames", "5", "--press", "2"},
        {"--frames", "5", "--press", "9:up"},
        {"--png", "OUT"},
        {"--frames", "0", "--png", "OUT"},
        {"--check=yes"},
        {"--frames", "1", "--view", "640x480"}, // nothing drawn
        {"--frames", "1", "--view", "641x480", "--png", "OUT"},
        {"--frames", "1", "--view", "8194x480", "--png", "OUT"},
    };
    for (const auto &args : bad) {
        scratch s;
        std::vector<std::string> a;
        for (const std::string &x : args)
            a.push_back(x == "OUT" ? s.path("p.png") : x);
        a.push_back("--dump");
        a.push_back(s.path("d.bin"));
        result r = replay(a);
        std::string shown = args.empty() ? "" : args[0] + " " + (args.size() > 1 ? args[1] : "");
        EXPECT_EQ(r.status, 2) << shown;
        EXPECT_TRUE(s.files().empty()) << shown;
        // One line, naming the tool.
        EXPECT_EQ(r.err.rfind("gridcity-replay: ", 0), 0u) << r.err;
        EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    }
}

TEST(ReplayErrors, UnwritableTargetsFailWithStatusOneAndLeaveNothing) {
    scratch s;
    result r = replay({"--seed", "1", "--dump", s.path("missing/d.bin")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("missing/d.bin"), std::string::npos) << r.err;
    // The target is a directory: the finished file cannot take its place.
    ASSERT_EQ(mkdir(s.path("adir").c_str(), 0755), 0);
    r = replay({"--seed", "1", "--frames", "2", "--dump", s.path("adir")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(s.files(), std::vector<std::string>{"adir"});
    rmdir(s.path("adir").c_str());
}

// A long run stopped from outside leaves no temporary file behind and dies of the signal.
TEST(ReplayErrors, InterruptedRunsLeaveNothing) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGALRM, SIGUSR1}) {
        scratch s;
        pid_t pid = fork();
        if (pid == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 1), dup2(null, 2);
            signal(sig, SIG_DFL);   // as a shell starts a command, whatever ran the tests
            rlimit nocore = {1, 1}; // 1, not 0: also stops a core piped to a collector
            setrlimit(RLIMIT_CORE, &nocore);
            umask(022);
            execl(REPLAY_BIN, REPLAY_BIN, "--seed", "3", "--frames", "100000000", "--dump",
                  s.path("d.bin").c_str(), (char *)nullptr);
            _exit(127);
        }
        // The temporary file appears before the first frame; its mode is set a moment after.
        for (int tries = 0; tries < 500 && s.files().empty(); tries++)
            usleep(10000);
        usleep(50000);
        std::vector<std::string> running = s.files();
        struct stat tmp = {};
        if (!running.empty()) stat(s.path(running[0].c_str()).c_str(), &tmp);
        kill(pid, sig);
        int st = 0;
        ASSERT_EQ(waitpid(pid, &st, 0), pid);
        EXPECT_EQ(running.size(), 1u) << "no temporary file while running";
        EXPECT_EQ(tmp.st_mode & 0777, 0644u)
            << "the temporary has its final mode while the run lasts";
        EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == sig) << "signal " << sig;
        EXPECT_TRUE(s.files().empty()) << "signal " << sig << " left " << s.files()[0];
    }
}

TEST(ReplayHelp, DocumentsTheOptionsAndTheLayout) {
    scratch s;
    result r = replay({"--help"}, s.path("help").c_str());
    EXPECT_EQ(r.status, 0);
    std::vector<unsigned char> h = readfile(s.path("help"));
    std::string text(h.begin(), h.end());
    for (const char *w : {"--seed", "--frames", "--press", "--dump", "--png", "--check",
                          "random source", "mycamz", "little-endian", "top bit", "2^31"})
        EXPECT_NE(text.find(w), std::string::npos) << w;
    // The layout's byte count and the last array's offset, as the dump has them; the picture's
    // size, which the scripts that start an X server at it read here.
    for (const std::string &w :
         {std::to_string(dumpbytes) + " bytes", "at " + std::to_string(dumpat("mycamz")),
          "\nPicture size: " + std::to_string(picturew) + "x" + std::to_string(pictureh) + ","})
        EXPECT_NE(text.find(w), std::string::npos) << w;
}

// The man page has an entry for every option in the table, in --help's order.
TEST(ReplayHelp, ManPageHasAnEntryForEveryOption) {
    std::vector<std::string> want;
    for (const optrow &r : opttable)
        want.push_back(manentry("--", r.name, r.arg));
    EXPECT_EQ(manentries(SOURCE_DIR "/packaging/man/gridcity-replay.6.in", "--"), want);
}
