// saver_settings_test.cpp -- gridcity-saver's option table, as its help prints it, against its
// settings file for xscreensaver's dialog and its man page
// SPDX-License-Identifier: MIT
#include "runreplay.h" // manentry, manentries

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <sys/wait.h> // WEXITSTATUS, for popen's status
#include <vector>

struct saverrun {
    int status;      // -1 when it did not exit normally
    std::string out; // standard output and error together
};

static saverrun saver(const std::string &args) {
    saverrun r{-1, ""};
    FILE *p = popen(("'" SAVER_BIN "' " + args + " 2>&1").c_str(), "r");
    if (!p) return r;
    char buf[4096];
    for (size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;)
        r.out.append(buf, n);
    int st = pclose(p);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

struct opt {
    std::string name, arg, help; // arg empty for a switch
};

// The table's rows from -help: "  -NAME ARG" up to two spaces or the line's end, the help after
// it and on the lines indented under it.
static std::vector<opt> table() {
    saverrun r = saver("-help");
    EXPECT_EQ(r.status, 0) << r.out;
    std::vector<opt> rows;
    std::istringstream in(r.out);
    for (std::string l; std::getline(in, l);) {
        if (l.starts_with("  -")) {
            size_t end = l.find("  ", 2);
            std::string head = l.substr(3, end == std::string::npos ? end : end - 3);
            size_t sp = head.find(' ');
            rows.push_back({head.substr(0, sp), sp == std::string::npos ? "" : head.substr(sp + 1),
                            end == std::string::npos ? "" : l.substr(end)});
        } else if (!rows.empty() && l.starts_with("    ")) {
            rows.back().help += l;
        }
    }
    return rows;
}

static std::map<std::string, std::string> attributes(const std::string &tag) {
    std::map<std::string, std::string> a;
    static const std::regex attr(R"re(([\w-]+)="([^"]*)")re");
    for (std::sregex_iterator i(tag.begin(), tag.end(), attr), end; i != end; ++i)
        a[(*i)[1]] = (*i)[2];
    return a;
}

// What the dialog can pass: each boolean's and choice's argument, each slider's at its low, high
// and default values, and the command's own; every option named, and each choice's values (the
// option without an argument stands for the saver's default and is named by its id).
TEST(SaverSettings, DeclareEveryOptionAUserSetsAndPassOnlyWhatTheSaverTakes) {
    std::ifstream f(SOURCE_DIR "/src/app/gridcity.xml");
    std::string xml((std::istreambuf_iterator<char>(f)), {});
    xml = std::regex_replace(xml, std::regex("<!--[\\s\\S]*?-->"), "");
    std::vector<std::string> passed;
    std::set<std::string> named;
    std::map<std::string, std::set<std::string>> choices; // by option
    std::vector<std::string> defaults;                    // ids of the current select's default
    auto pass = [&](const std::string &arg, const std::string &value = "") {
        std::string a = std::regex_replace(arg, std::regex("%"), value);
        passed.push_back(a);
        std::istringstream words(a);
        std::string name, v;
        words >> name >> v;
        name = name.substr(name.find_first_not_of('-'));
        named.insert(name);
        return std::pair{name, v};
    };
    static const std::regex tag(R"(<(/?)(\w+)([^>]*)>)");
    for (std::sregex_iterator i(xml.begin(), xml.end(), tag), end; i != end; ++i) {
        std::string kind = (*i)[2];
        std::map<std::string, std::string> a = attributes((*i)[3]);
        if (kind == "number") {
            for (const char *at : {"low", "high", "default"})
                pass(a["arg"], a[at]);
        } else if (kind == "command") {
            pass(a["arg"]);
        } else if (kind == "boolean") {
            pass(a.count("arg-set") ? a["arg-set"] : a["arg-unset"]);
        } else if (kind == "option" && !a.count("arg-set")) {
            defaults.push_back(a["id"]);
        } else if (kind == "option") {
            auto [name, v] = pass(a["arg-set"]);
            choices[name].insert(v);
        } else if (kind == "select" && (*i)[1] == "/") {
            ASSERT_EQ(defaults.size(), 1u) << "a choice needs one entry for the default";
            std::string name = passed.back().substr(0, passed.back().find(' '));
            pass(name + " " + defaults[0]);
            choices[name.substr(name.find_first_not_of('-'))].insert(defaults[0]);
            defaults.clear();
        }
    }
    std::string all;
    for (const std::string &a : passed)
        all += a + " ";
    saverrun r = saver(all + "-help");
    EXPECT_EQ(r.status, 0) << all << "\n" << r.out;

    // Switches the host passes itself, and the negations of the defaults, are not settings.
    const std::set<std::string> hosts = {"root",   "window",  "window-id", "display",
                                         "visual", "install", "help"};
    for (const opt &o : table()) {
        bool negation = o.name.starts_with("no-") && named.count(o.name.substr(3));
        if (!hosts.count(o.name) && !negation) {
            EXPECT_TRUE(named.count(o.name)) << o.name;
        }
        // Each value the help names that the saver takes is one of the choices.
        if (!choices.count(o.name)) continue;
        std::string text = o.arg + " " + o.help;
        static const std::regex word("[a-z0-9]+");
        for (std::sregex_iterator w(text.begin(), text.end(), word), end; w != end; ++w)
            if (saver("-" + o.name + " " + w->str() + " -help").status == 0) {
                EXPECT_TRUE(choices[o.name].count(w->str())) << o.name << " " << w->str();
            }
    }
}

// The man page has an entry for every option in the table, in -help's order.
TEST(SaverSettings, ManPageHasAnEntryForEveryOption) {
    std::vector<std::string> want;
    for (const opt &o : table())
        want.push_back(manentry("-", o.name.c_str(), !o.arg.empty()));
    EXPECT_EQ(manentries(SOURCE_DIR "/packaging/man/gridcity-saver.6.in", "-"), want);
}
