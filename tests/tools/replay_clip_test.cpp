// replay_clip_test.cpp -- clips: frame-exact when lossless, what ffprobe sees, failures tidy
// SPDX-License-Identifier: MIT
#include "runreplay.h"

#include "pngio.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

// What a shell command prints on standard output.
static std::string output(const std::string &cmd) {
    std::string out;
    if (FILE *p = popen(cmd.c_str(), "r")) {
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        pclose(p);
    }
    return out;
}

static void clip(const std::vector<std::string> &args) {
    result r = replay(args);
    ASSERT_EQ(r.status, 0) << r.err;
}

TEST(ReplayClip, LosslessClipDecodesToTheStillOfEveryFrame) {
    scratch s;
    const int from = 28, to = 31, press = 30;
    clip({"--seed", "7", "--from", std::to_string(from), "--frames", std::to_string(to), "--press",
          std::to_string(press) + ":up", "--video", s.path("c.mkv")});
    std::string frames =
        output("ffmpeg -v error -i " + s.path("c.mkv") + " -f rawvideo -pix_fmt rgb24 -");
    const size_t framebytes = picturew * pictureh * 3;
    ASSERT_EQ(frames.size(), framebytes * (to - from + 1));
    for (int f = from; f <= to; f++) {
        std::vector<std::string> args = {"--seed",          "7",     "--frames",
                                         std::to_string(f), "--png", s.path("s.png")};
        if (f >= press) args.insert(args.end(), {"--press", std::to_string(press) + ":up"});
        clip(args);
        int w, h;
        std::vector<unsigned char> still;
        ASSERT_TRUE(readpng(s.path("s.png").c_str(), w, h, still));
        ASSERT_EQ(still.size(), framebytes);
        EXPECT_TRUE(!memcmp(frames.data() + framebytes * (f - from), still.data(), framebytes))
            << "frame " << f;
    }
}

// ffprobe's lines for a clip at the picture's size.
static const std::string picturesize =
    "width=" + std::to_string(picturew) + "\nheight=" + std::to_string(pictureh) + "\n";

static std::string probe(const std::string &path) {
    return output("ffprobe -v error -count_frames -select_streams v:0 -show_entries "
                  "stream=codec_name,width,height,pix_fmt,r_frame_rate,nb_read_frames "
                  "-of default=noprint_wrappers=1 " +
                  path);
}

// An animated WebP by its chunks (ffprobe does not decode them): canvas size, frame count.
static void webpinfo(const std::vector<unsigned char> &d, int &w, int &h, int &frames) {
    w = h = frames = 0;
    if (d.size() < 12 || memcmp(d.data(), "RIFF", 4) || memcmp(d.data() + 8, "WEBP", 4)) return;
    for (size_t at = 12; at + 8 <= d.size();) {
        uint32_t n = word(d, (long)at + 4);
        if (!memcmp(&d[at], "VP8X", 4) && at + 18 <= d.size()) {
            w = 1 + (d[at + 12] | d[at + 13] << 8 | d[at + 14] << 16);
            h = 1 + (d[at + 15] | d[at + 16] << 8 | d[at + 17] << 16);
        }
        frames += !memcmp(&d[at], "ANMF", 4);
        at += 8 + n + (n & 1);
    }
}

TEST(ReplayClip, EveryKindHasItsCodecSizeFrameCountAndRate) {
    scratch s;
    clip({"--seed", "7", "--from", "3", "--frames", "8", "--rate", "30", "--video",
          s.path("c.mp4")});
    EXPECT_EQ(probe(s.path("c.mp4")), "codec_name=h264\n" + picturesize +
                                          "pix_fmt=yuv420p\nr_frame_rate=30/1\nnb_read_frames=6\n");
    // The index in front of the data, so a browser plays it while it loads.
    std::vector<unsigned char> mp4 = readfile(s.path("c.mp4"));
    std::string bytes(mp4.begin(), mp4.end());
    EXPECT_LT(bytes.find("moov"), bytes.find("mdat"));

    // Drawn at the picture's size, scaled by the encoder.
    clip({"--seed", "7", "--frames", "4", "--rate", "25", "--size", "640x480", "--video",
          s.path("c.webm")});
    EXPECT_EQ(probe(s.path("c.webm")), "codec_name=vp9\nwidth=640\nheight=480\npix_fmt=yuv420p\n"
                                       "r_frame_rate=25/1\nnb_read_frames=4\n");

    clip({"--seed", "7", "--frames", "3", "--video", s.path("c.webp")});
    int w, h, frames;
    webpinfo(readfile(s.path("c.webp")), w, h, frames);
    EXPECT_EQ(w, picturew);
    EXPECT_EQ(h, pictureh);
    EXPECT_EQ(frames, 3);
}

// ---- failures: the status, one line that says why, and nothing left behind ----

static int lines(const std::string &s) {
    int n = 0;
    for (char c : s)
        n += c == '\n';
    return n;
}

TEST(ReplayClip, BadArgumentsGetOneLineAndStatusTwo) {
    scratch s;
    const std::string out = s.path("c.mp4");
    const std::vector<std::vector<std::string>> bad = {
        {"--from", "9", "--frames", "8", "--video", out},
        {"--frames", "8", "--rate", "0", "--video", out},
        {"--frames", "8", "--rate", "-30", "--video", out},
        {"--frames", "8", "--rate", "fast", "--video", out},
        {"--frames", "8", "--size", "511x384", "--video", out},
        {"--frames", "8", "--rate", "1/0", "--video", out},
        {"--frames", "8", "--video", s.path("c.avi")},
        {"--frames", "8", "--video", s.path(".mp4")}, // an extension with no name, in any folder
        {"--frames", "8", "--kind", "avi", "--video", out},
        {"--frames", "8", "--video", "/dev/stdout"}, // no kind: it names --kind
        // ffmpeg would hold every frame of an animated WebP: 1800 of the picture's size at most,
        // as many pixels at another.
        {"--frames", "1801", "--video", s.path("c.webp")},
        {"--frames", "7201", "--size", "512x384", "--video", s.path("c.webp")},
    };
    for (const auto &args : bad) {
        result r = replay(args);
        EXPECT_EQ(r.status, 2) << args[1] << " " << args[3];
        EXPECT_EQ(lines(r.err), 1) << r.err;
    }
    EXPECT_TRUE(s.files().empty());
    result r = replay({"--frames", "8", "--video", ".mp4"});
    EXPECT_NE(r.err.find("'.mp4' has no file name before .mp4"), std::string::npos) << r.err;
}

// Standard output by any name, its kind given.
TEST(ReplayClip, AClipToStandardOutputHasTheKindItIsGiven) {
    scratch s;
    result r = replay({"--seed", "7", "--frames", "2", "--video", "/dev/stdout", "--kind", "mkv"},
                      s.path("c").c_str());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(s.path("c")), "codec_name=ffv1\n" + picturesize +
                                      "pix_fmt=bgr0\nr_frame_rate=60/1\nnb_read_frames=2\n");
    r = replay({"--frames", "2", "--video", "-"});
    EXPECT_NE(r.err.find("(or give --kind)"), std::string::npos) << r.err;
}

TEST(ReplayClip, RatesAreFractionsOrDecimalsOfAnyLength) {
    scratch s;
    for (const char *rate : {"30000/1001", "00000000000000060"}) {
        clip({"--seed", "7", "--frames", "1", "--rate", rate, "--video", s.path("c.mkv")});
        EXPECT_EQ(output("ffprobe -v error -show_entries stream=r_frame_rate -of csv=p=0 " +
                         s.path("c.mkv")),
                  rate[0] == '3' ? "30000/1001\n" : "60/1\n");
    }
}

// Through a name that means another file inside the encoder's process.
TEST(ReplayClip, AClipThroughALinkToStandardOutputArrivesWhole) {
    scratch s;
    ASSERT_EQ(symlink("/dev/stdout", s.path("out.mp4").c_str()), 0);
    result r = replay({"--seed", "7", "--frames", "3", "--video", s.path("out.mp4")},
                      s.path("c.mp4").c_str());
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(probe(s.path("c.mp4")), "codec_name=h264\n" + picturesize +
                                          "pix_fmt=yuv420p\nr_frame_rate=60/1\nnb_read_frames=3\n");
}

// Runs the tool with PATH leading to dir first (dir alone when only is set).
static result withpath(const std::string &dir, bool only, const std::vector<std::string> &args) {
    std::string path = only ? dir : dir + ":" + getenv("PATH");
    return replay(args, nullptr, [&] { setenv("PATH", path.c_str(), 1); });
}

TEST(ReplayClip, MissingFfmpegNamesThePackageToInstall) {
    scratch s, bin;
    result r =
        withpath(bin.dir, true, {"--seed", "7", "--frames", "2", "--video", s.path("c.mp4")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("not found on PATH"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("apt-get install ffmpeg"), std::string::npos) << r.err;
    EXPECT_TRUE(s.files().empty());
}

// An ffmpeg in bin that runs script.
static void fakeffmpeg(const scratch &bin, const char *script) {
    const std::string fake = bin.path("ffmpeg");
    FILE *f = fopen(fake.c_str(), "w");
    ASSERT_TRUE(f);
    fputs(script, f);
    fclose(f);
    chmod(fake.c_str(), 0755);
}

TEST(ReplayClip, AnEncoderDyingMidwayLeavesNoFile) {
    scratch s, bin;
    // Reads a frame, writes part of a file where it was told to, then dies.
    fakeffmpeg(bin, "#!/bin/sh\nfor a; do out=$a; done\nhead -c 2359296 >/dev/null\n"
                    "echo partial >\"${out#file:}\"\nkill -9 $$\n");
    result r =
        withpath(bin.dir, false, {"--seed", "7", "--frames", "5", "--video", s.path("c.mkv")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("ffmpeg failed (killed by signal 9)"), std::string::npos) << r.err;
    EXPECT_TRUE(s.files().empty());
}

TEST(ReplayClip, AnEncoderThatWritesNoClipReplacesNothing) {
    scratch s, bin;
    fakeffmpeg(bin, "#!/bin/sh\ncat >/dev/null\n");
    FILE *f = fopen(s.path("c.mkv").c_str(), "w");
    ASSERT_TRUE(f);
    fputs("old", f);
    fclose(f);
    result r =
        withpath(bin.dir, false, {"--seed", "7", "--frames", "2", "--video", s.path("c.mkv")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("ffmpeg exited without reporting a finished clip"), std::string::npos)
        << r.err;
    std::vector<unsigned char> kept = readfile(s.path("c.mkv"));
    EXPECT_EQ(std::string(kept.begin(), kept.end()), "old");
    EXPECT_EQ(s.files(), std::vector<std::string>{"c.mkv"});
}

TEST(ReplayClip, AFullDiskOrAnUnwritableTargetLeavesNoFile) {
    scratch s;
    // A device is written in place: the link to it stays, nothing else appears.
    ASSERT_EQ(symlink("/dev/full", s.path("full.mkv").c_str()), 0);
    result r = replay({"--seed", "7", "--frames", "3", "--video", s.path("full.mkv")});
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    EXPECT_EQ(s.files(), std::vector<std::string>{"full.mkv"});

    r = replay({"--seed", "7", "--frames", "3", "--video", s.path("no/such/folder/c.mp4")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("No such file or directory"), std::string::npos) << r.err;

    // A file system that fills midway, where one can be mounted (root).
    scratch small;
    if (mount("tmpfs", small.dir.c_str(), "tmpfs", 0, "size=64k") != 0) {
        std::cout << "a small tmpfs cannot be mounted here (" << strerror(errno)
                  << "): its part is not run\n";
        return;
    }
    r = replay({"--seed", "7", "--frames", "6", "--video", small.path("c.mkv")});
    std::vector<std::string> left = small.files();
    umount(small.dir.c_str());
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(lines(r.err), 1) << r.err;
    EXPECT_NE(r.err.find("No space left on device"), std::string::npos) << r.err;
    EXPECT_TRUE(left.empty());
}

// Processes whose command line names the folder: an encoder still writing there.
static int writers(const std::string &dir) {
    int n = 0;
    if (DIR *d = opendir("/proc")) {
        while (dirent *e = readdir(d)) {
            if (e->d_name[0] < '0' || e->d_name[0] > '9') continue;
            std::vector<unsigned char> c = readfile(std::string("/proc/") + e->d_name + "/cmdline");
            n += std::string(c.begin(), c.end()).find(dir) != std::string::npos;
        }
        closedir(d);
    }
    return n;
}

TEST(ReplayClip, SignalsStopTheEncoderAndLeaveNothing) {
    for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
        scratch s;
        pid_t pid = fork();
        if (pid == 0) {
            int null = open("/dev/null", O_WRONLY);
            dup2(null, 2);
            execl(REPLAY_BIN, REPLAY_BIN, "--seed", "7", "--frames", "100000", "--video",
                  s.path("c.mkv").c_str(), nullptr);
            _exit(127);
        }
        // Until the encoder has written into the temporary: frames are flowing.
        bool writing = false;
        for (int i = 0; i < 300 && !writing; i++) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            for (const std::string &n : s.files()) {
                struct stat st;
                writing = writing || (stat(s.path(n.c_str()).c_str(), &st) == 0 && st.st_size);
            }
        }
        EXPECT_TRUE(writing) << "signal " << sig;
        kill(pid, sig);
        int st = 0;
        waitpid(pid, &st, 0);
        EXPECT_TRUE(WIFSIGNALED(st) && WTERMSIG(st) == sig) << "signal " << sig;
        EXPECT_TRUE(s.files().empty()) << "signal " << sig;
        EXPECT_EQ(writers(s.dir), 0) << "signal " << sig;
    }
}
