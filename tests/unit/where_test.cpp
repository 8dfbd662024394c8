// where_test.cpp -- the window shell's decisions: the monitor of a window, the screen of a display
// name, window ids
// SPDX-License-Identifier: MIT
#include "app/where.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct monitorcase {
    const char *what;
    rect window;
    std::vector<monitor> listed;
    rect expect;
};

constexpr rect screen = {0, 0, 3840, 1080};
constexpr monitor left = {{0, 0, 1920, 1080}, false}, right = {{1920, 0, 1920, 1080}, false},
                  rightprimary = {{1920, 0, 1920, 1080}, true};

} // namespace

TEST(Where, TheMonitorForAWindow) {
    const monitorcase cases[] = {
        {"most of it on the right", {1800, 0, 1024, 768}, {left, right}, right.r},
        {"most of it on the left", {1000, 0, 1024, 768}, {left, right}, left.r},
        {"a tie goes to the first listed", {1408, 0, 1024, 768}, {left, right}, left.r},
        {"a tie is not the primary's", {1408, 0, 1024, 768}, {left, rightprimary}, left.r},
        {"on none: the primary", {-2000, 0, 1024, 768}, {left, rightprimary}, right.r},
        {"on none, no primary: the first", {-2000, 0, 1024, 768}, {right, left}, right.r},
        {"none listed (or no RandR): the screen", {0, 0, 1024, 768}, {}, screen},
        {"one pixel of overlap beats none", {-1023, -767, 1024, 768}, {rightprimary, left}, left.r},
    };
    for (const monitorcase &c : cases) {
        rect r = monitorfor(c.window, c.listed.data(), (int)c.listed.size(), screen);
        EXPECT_TRUE(r.x == c.expect.x && r.y == c.expect.y && r.w == c.expect.w &&
                    r.h == c.expect.h)
            << c.what << ": got " << r.w << "x" << r.h << "+" << r.x << "+" << r.y;
    }
}

TEST(Where, TheScreenOfADisplayName) {
    const std::pair<const char *, int> cases[] = {
        {":0", 0},
        {":0.1", 1},
        {"host:3.2", 2},
        {"unix:10.0", 0},
        {"[::1]:0.3", 3},
        {"", -1},
        {"junk", -1},
        {":", -1},
        {":0.", -1},
        {":0.x", -1},
        {":x.1", -1},
        {":0.1.2", -1},
        {":0.99999999999", -1},
    };
    for (auto [name, screen] : cases)
        EXPECT_EQ(screenof(name), screen) << name;
    EXPECT_EQ(screenof(nullptr), -1);
    EXPECT_EQ(onscreen(":0", 1), ":0.1");
    EXPECT_EQ(onscreen("host:3.2", 0), "host:3.0");
    EXPECT_EQ(screenof(onscreen("host:3.2", 7).c_str()), 7);
}

TEST(Where, WindowIdsAreHexOrDecimalNeverOctal) {
    const std::pair<const char *, unsigned long> cases[] = {
        {"0x1a00004", 0x1a00004},
        {"0X1A", 0x1a},
        {"12345", 12345},
        {"010", 10},
        {"08", 8},
        {"0xffffffff", 0xffffffff},
        {"4294967295", 0xffffffff},
        {"0x100000000", 0},
        {"4294967296", 0},
        {"99999999999999999999", 0},
        {"", 0},
        {"0x", 0},
        {"-1", 0},
        {"+5", 0},
        {" 5", 0},
        {"5 ", 0},
        {"12ab", 0},
        {"0xg", 0},
        {"abc", 0},
    };
    for (auto [text, id] : cases)
        EXPECT_EQ(windowid(text), id) << text;
}
