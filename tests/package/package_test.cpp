// package_test.cpp -- the Debian package: what it holds, and its programs run from where it unpacks
// GoogleTest first: Xlib defines macros (None, Bool, Status) that clash with its templates.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "harness.h"
#include "scene/dump.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <map>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

// What a shell command writes on standard output; status gets its exit status.
static std::string output(const std::string &cmd, int &status) {
    std::string out;
    status = -1;
    FILE *p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    int ws = pclose(p);
    if (WIFEXITED(ws)) status = WEXITSTATUS(ws);
    return out;
}

static std::string slurp(const std::string &path) {
    std::ifstream f(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
}

// A fresh folder, removed with the test.
struct tmpdir {
    std::string root;
    tmpdir() {
        char t[] = "/tmp/gridcitydeb.XXXXXX";
        if (mkdtemp(t)) root = t;
    }
    ~tmpdir() {
        if (!root.empty()) std::system(("rm -rf " + root).c_str());
    }
};

// The package unpacked with dpkg-deb -x: usr/ lies in root, and whatever a test writes beside it.
struct unpacked : tmpdir {
    std::string err;
    bool ok = false;
    unpacked() {
        if (root.empty()) return;
        int st;
        err = output("dpkg-deb -x " DEB " " + root + " 2>&1", st);
        ok = st == 0;
    }
};

#define UNPACK(u)                                                                                  \
    unpacked u;                                                                                    \
    ASSERT_TRUE(u.ok) << "dpkg-deb -x " DEB ": " << u.err

struct entry {
    std::string mode, owner; // "-rwxr-xr-x", "root/root"
    bool file() const { return mode[0] == '-'; }
    bool program() const { return file() && mode[3] == 'x'; }
};

// Each path (without the leading ".") as dpkg-deb -c lists the package.
static std::map<std::string, entry> contents(int &status) {
    std::map<std::string, entry> m;
    std::istringstream in(output("dpkg-deb -c " DEB, status));
    std::string mode, owner, size, day, time, path;
    while (in >> mode >> owner >> size >> day >> time >> path)
        m[path.substr(1)] = {mode, owner};
    return m;
}

TEST(Package, HoldsEveryInstalledFileAndNothingFromTheBuildOrTheTests) {
    int st;
    std::map<std::string, entry> files = contents(st);
    ASSERT_EQ(st, 0);
    std::string id = APP_ID;
    std::vector<std::string> expected = {
        "/usr/bin/gridcity",
        "/usr/bin/gridcity-replay",
        "/usr/share/man/man6/gridcity.6.gz",
        "/usr/share/man/man6/gridcity-replay.6.gz",
        "/usr/share/applications/" + id + ".desktop",
        "/usr/share/metainfo/" + id + ".metainfo.xml",
        "/usr/share/doc/gridcity/copyright",
        "/usr/share/doc/gridcity/changelog.gz",
    };
    for (int s : {16, 24, 32, 48, 64, 128, 256, 512})
        expected.push_back("/usr/share/icons/hicolor/" + std::to_string(s) + "x" +
                           std::to_string(s) + "/apps/" + id + ".png");
    for (const std::string &p : expected)
        EXPECT_TRUE(files.count(p)) << p << " is missing";

    const char *foreign[] = {"test", "bench", "CMake", "xdrive", "freeze", "-san"};
    const char *objects[] = {".a", ".o", ".so", ".cmake"};
    for (const auto &[path, e] : files) {
        EXPECT_EQ(path.rfind("/usr/", 0), 0u) << path;
        EXPECT_EQ(e.owner, "root/root") << path;
        std::string name = path.substr(path.rfind('/') + 1);
        for (const char *f : foreign)
            EXPECT_EQ(name.find(f), std::string::npos) << path << " looks like a build file";
        for (const char *o : objects)
            EXPECT_FALSE(name.ends_with(o)) << path << " looks like a build file";
        // Every program has its page.
        if (e.program()) {
            EXPECT_TRUE(files.count("/usr/share/man/man6/" + name + ".6.gz"))
                << path << " has no man page";
        }
    }

    // Nothing inside names the folders it was built in.
    UNPACK(u);
    for (const auto &[path, e] : files) {
        if (!e.file()) continue;
        std::string data = slurp(u.root + path);
        EXPECT_EQ(data.find(SOURCE_DIR), std::string::npos) << path << " holds " SOURCE_DIR;
        EXPECT_EQ(data.find(BINARY_DIR), std::string::npos) << path << " holds " BINARY_DIR;
    }
}

TEST(Package, MenuEntryAndMetainfoValidate) {
    UNPACK(u);
    int st;
    std::string said = output(DESKTOP_FILE_VALIDATE " " + u.root + "/usr/share/applications/" +
                                  APP_ID + ".desktop 2>&1",
                              st);
    EXPECT_EQ(st, 0) << said;
    EXPECT_EQ(said, "");
    // The tree as installed: metainfo, the menu entry it launches, and the icon.
    said = output(APPSTREAMCLI " validate-tree --no-net " + u.root + " 2>&1", st);
    EXPECT_EQ(st, 0) << said;
}

// Read as Debian's tools read it: a Format line, one Files: * paragraph, the licence's terms.
TEST(Package, CopyrightIsMachineReadableMitWithTheLicenceFilesTerms) {
    UNPACK(u);
    const char *parse = "from debian.copyright import Copyright; import sys; "
                        "p = Copyright(open(sys.argv[1]), strict=True).find_files_paragraph('x'); "
                        "print(p.copyright); print(p.license.synopsis); print(p.license.text)";
    int st;
    std::string said = output(std::string("/usr/bin/python3 -c \"") + parse + "\" " + u.root +
                                  "/usr/share/doc/gridcity/copyright 2>&1",
                              st);
    ASSERT_EQ(st, 0) << said;
    std::string licence = slurp(SOURCE_DIR "/LICENSE");
    size_t terms = licence.find("Permission");
    ASSERT_NE(terms, std::string::npos);
    EXPECT_EQ(said, "2026 the gridcity authors\nMIT\n" + licence.substr(terms));
}

// The licence in the metainfo; the control file and the metainfo name only the addresses that
// configure was given (none by default), and the maintainer it was given.
TEST(Package, LicenceAndOnlyTheConfiguredAddresses) {
    int st;
    std::string said = output("dpkg-deb -f " DEB " Homepage Maintainer", st);
    ASSERT_EQ(st, 0);
    std::string homepage = HOMEPAGE, screenshot = SCREENSHOT;
    EXPECT_EQ(said, (homepage.empty() ? "" : "Homepage: " + homepage + "\n") +
                        "Maintainer: " MAINTAINER "\n");

    UNPACK(u);
    std::string meta = slurp(u.root + "/usr/share/metainfo/" + APP_ID + ".metainfo.xml");
    EXPECT_NE(meta.find("<project_license>MIT</project_license>"), std::string::npos) << meta;
    auto carries = [&](const std::string &open, const std::string &value, const char *close) {
        return value.empty() ? meta.find(open) == std::string::npos
                             : meta.find(open + value + close) != std::string::npos;
    };
    EXPECT_TRUE(carries("<url type=\"homepage\">", homepage, "</url>")) << meta;
    EXPECT_TRUE(carries("<image>", screenshot, "</image>")) << meta;
}

TEST(Package, ReplayToolWritesTheBuildTreesDump) {
    UNPACK(u);
    const std::string args = " --seed 4711 --frames 40 --press 25:up --dump ";
    int st;
    std::string said = output(REPLAY_BIN + args + u.root + "/built.bin 2>&1", st);
    ASSERT_EQ(st, 0) << said;
    said = output(u.root + "/usr/bin/gridcity-replay" + args + u.root + "/packaged.bin 2>&1", st);
    ASSERT_EQ(st, 0) << said;
    std::string built = slurp(u.root + "/built.bin");
    EXPECT_EQ((long)built.size(), dumpbytes);
    EXPECT_TRUE(built == slurp(u.root + "/packaged.bin")) << "the dumps differ";
}

TEST(Package, DemoDrawsAndEndsWithStatusZeroOnEscape) {
    UNPACK(u);
    xserver x;
    ASSERT_TRUE(startx(x)) << "Xvfb did not start: " << errtext(x.proc);
    child g;
    ASSERT_TRUE(startprogram(g, x, (u.root + "/usr/bin/gridcity").c_str()));
    ASSERT_TRUE(drawnwithin(x, g, 60)) << "nothing drawn; gridcity said: " << errtext(g);
    ASSERT_TRUE(xtap(x.d, "Escape"));
    ASSERT_TRUE(waitend(g, 10)) << "still running 10 s after Escape";
    EXPECT_EQ(g.status, 0) << errtext(g);
}

// make dist: the committed tree as gridcity-<version>.tar.gz, the same bytes from two runs a
// second apart (a time stamp would tell them apart), the licence inside.
TEST(Dist, TwoRunsGiveTheSameTarballHoldingTheLicence) {
    if (std::system("git -C " SOURCE_DIR " rev-parse -q --verify HEAD > /dev/null 2>&1") != 0)
        GTEST_SKIP() << SOURCE_DIR " is not a git checkout";
    tmpdir t;
    ASSERT_FALSE(t.root.empty());
    const std::string tarball = "/gridcity-" VERSION ".tar.gz";
    int st;
    std::string said = output("make -s -C " SOURCE_DIR " dist BUILD=" + t.root + "/a 2>&1", st);
    ASSERT_EQ(st, 0) << said;
    sleep(1);
    said = output("make -s -C " SOURCE_DIR " dist BUILD=" + t.root + "/b 2>&1", st);
    ASSERT_EQ(st, 0) << said;
    said = output("cd " + t.root + " && sha256sum a" + tarball + " b" + tarball, st);
    ASSERT_EQ(st, 0) << said;
    EXPECT_EQ(said.substr(0, 64), said.substr(said.find('\n') + 1, 64)) << said;
    said = output("tar -tzf " + t.root + "/a" + tarball, st);
    ASSERT_EQ(st, 0) << said;
    EXPECT_NE(said.find("\ngridcity-" VERSION "/LICENSE\n"), std::string::npos) << said;
}
