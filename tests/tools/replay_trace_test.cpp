// replay_trace_test.cpp -- the replay tool's trace: a line per frame, hashing what --dump writes
// SPDX-License-Identifier: MIT
#include "replay.h"
#include "runreplay.h"

#include <gtest/gtest.h>

#include <cstdio> // popen
#include <fstream>

static std::vector<std::string> linesof(const std::string &path) {
    std::ifstream in(path);
    std::vector<std::string> out;
    for (std::string l; std::getline(in, l);)
        out.push_back(l);
    return out;
}

// What xxhsum -H3 prints for the first n bytes of the file: 16 hex digits.
static std::string xxhsum(const std::string &path, long n) {
    std::string cmd = "head -c " + std::to_string(n) + " '" + path + "' | xxhsum -H3";
    FILE *p = popen(cmd.c_str(), "r");
    char line[128] = {};
    bool ok = p && fgets(line, sizeof line, p);
    if (p) pclose(p);
    std::string l = ok ? line : "";
    return l.size() > 17 ? l.substr(l.size() - 17, 16) : "no hash: " + l;
}

// Frame 20 of a 40-frame trace against a 20-frame dump: the hash xxhsum -H3 gives the file,
// and the mycamz column is the hash of the dump up to the scalars.
TEST(ReplayTrace, EachFrameHashesTheDumpOfThatFrame) {
    scratch s;
    const std::vector<std::string> run = {"--seed", "5", "--press", "12:up", "--frames"};
    std::vector<std::string> a = run;
    a.insert(a.end(), {"40", "--trace", s.path("t.txt")});
    ASSERT_EQ(replay(a).status, 0);
    a = run;
    a.insert(a.end(), {"20", "--dump", s.path("d.bin")});
    ASSERT_EQ(replay(a).status, 0);

    std::vector<std::string> t = linesof(s.path("t.txt"));
    ASSERT_EQ(t.size(), 2u + 41);
    EXPECT_EQ(t[0], "# gridcity-replay trace, seed 5");
    std::string columns = "# frame dump";
    for (int k = 0; k < narrays; k++)
        columns += std::string(" ") + dumpparts[k].name;
    EXPECT_EQ(t[1], columns + " scalars randomstate");
    for (int f = 0; f <= 40; f++)
        EXPECT_EQ(t[2 + f].substr(0, t[2 + f].find(' ')), std::to_string(f));

    std::vector<unsigned char> d = readfile(s.path("d.bin"));
    ASSERT_EQ((long)d.size(), dumpbytes);
    std::string whole = xxhsum(s.path("d.bin"), dumpbytes);
    std::string upto = xxhsum(s.path("d.bin"), dumpat("whichcam"));
    EXPECT_EQ(t[22].substr(0, 19), "20 " + whole);
    EXPECT_NE(t[22].find(" " + upto.substr(8) + " "), std::string::npos); // mycamz
    EXPECT_EQ(t[22].substr(t[22].size() - 9), " " + whole.substr(8));     // randomstate
    EXPECT_NE(t[21], t[22]);
}
