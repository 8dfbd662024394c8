// clip.cpp -- frames drawn offscreen, piped raw into an ffmpeg process that encodes the clip
// SPDX-License-Identifier: MIT
#include "replay.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib> // strtol
#include <cstring>
#include <fcntl.h>
#include <semaphore>
#include <sys/prctl.h> // PR_SET_PDEATHSIG: the encoder dies with the tool
#include <sys/mman.h>  // memfd_create, for the encoder's messages
#include <sys/resource.h>
#include <sys/uio.h> // writev
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

// ---- what each kind asks of ffmpeg, in clipkind order ----
struct clipformat {
    const char *muxer;
    const char *convert;  // scale filter options and formats for a YUV codec; null for RGB
    const char *args[20]; // the encoder's options, null-terminated
    // -movflags into a file, then into a pipe or device (an index in front needs a file to seek
    // in; a stream gets fragments instead); null where the muxer takes none.
    const char *movflags[2];
};
static const clipformat formats[] = {
    // H.264 for browsers: 4:2:0, BT.709 tagged, the index at the front of a file. The fastest
    // preset at a lower CRF takes little CPU from the drawing on two cores, with the quality of
    // a slower one and larger files (docs/performance.md).
    {"mp4",
     "out_color_matrix=bt709:out_range=tv,format=yuv420p",
     {"-c:v", "libx264", "-preset", "ultrafast", "-crf", "18", "-colorspace", "bt709",
      "-color_primaries", "bt709", "-color_trc", "bt709"},
     {"+faststart", "+frag_keyframe+empty_moov+default_base_moof"}},
    {"webm",
     "out_color_matrix=bt709:out_range=tv,format=yuv420p",
     {"-c:v", "libvpx-vp9", "-crf", "32", "-b:v", "0", "-deadline", "good", "-cpu-used", "5",
      "-row-mt", "1", "-colorspace", "bt709"},
     {}},
    // Lossless: FFV1 on planar RGB, every frame a key frame with checksummed slices.
    {"matroska",
     nullptr,
     {"-c:v", "ffv1", "-level", "3", "-g", "1", "-slicecrc", "1", "-pix_fmt", "gbrp"},
     {}},
    {"webp", nullptr, {"-c:v", "libwebp_anim", "-quality", "70", "-loop", "0"}, {}},
};
static_assert(sizeof formats / sizeof formats[0] == nclipkinds, "one format for each kind");

// ---- the encoder process ----
static pid_t encoder = -1;
static int pipefd = -1; // our end of its standard input
static int logfd = -1;  // its standard error, kept in memory for the failure message
static int progfd = -1; // its progress reports (-progress), kept in memory for its frame count

static void killclip() { // async-signal-safe
    if (encoder > 0) {
        kill(encoder, SIGKILL);
        waitpid(encoder, nullptr, 0);
        encoder = -1;
    }
}

// The first line ffmpeg wrote (at -loglevel error every line is a failure, and the first
// names the cause), with our name for the file it was writing.
static char shown[4200]; // "file:" and the temporary's path, as ffmpeg names its output
static const char *showas;
static bool firstline(char *out, int outlen) {
    char buf[1024];
    ssize_t n = pread(logfd, buf, sizeof buf - 1, 0);
    if (n <= 0) return false;
    buf[n] = 0;
    buf[strcspn(buf, "\r\n")] = 0;
    char *at = strstr(buf, shown);
    if (at)
        snprintf(out, (size_t)outlen, "%.*s%s%s", (int)(at - buf), buf, showas, at + strlen(shown));
    else
        snprintf(out, (size_t)outlen, "%.*s", outlen - 1, buf);
    return true;
}

// Forks and execs ffmpeg with its standard input on a pipe, its standard output on outfd (or
// /dev/null when -1) and its progress reports on descriptor 3. An exec that fails comes back
// as its errno through a close-on-exec pipe, so a missing ffmpeg is told apart from one that
// starts and then fails.
static bool spawn(char *const *argv, int outfd, char *err, int errlen) {
    int data[2], status[2];
    logfd = memfd_create("ffmpeg-messages", MFD_CLOEXEC);
    progfd = memfd_create("ffmpeg-progress", MFD_CLOEXEC);
    if (logfd < 0 || progfd < 0 || pipe2(data, O_CLOEXEC) < 0 || pipe2(status, O_CLOEXEC) < 0)
        return fail(err, errlen, "cannot start ffmpeg: %s", strerror(errno));
    // Signals held across the fork: the handler that removes the temporaries must not run in
    // the child, and the tool's must know the child's pid.
    sigset_t all, old;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old);
    pid_t parent = getpid();
    int lastsig = SIGRTMAX;
    pid_t pid = fork();
    if (pid == 0) {
        // Only async-signal-safe calls between fork and exec.
        for (int sig = 1; sig <= lastsig; sig++) {
            struct sigaction sa;
            if (sigaction(sig, nullptr, &sa) == 0 && sa.sa_handler != SIG_IGN &&
                sa.sa_handler != SIG_DFL)
                signal(sig, SIG_DFL);
        }
        sigprocmask(SIG_SETMASK, &old, nullptr);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127);
        // A session of its own: a Ctrl-C or hang-up at the terminal reaches the tool, which
        // decides; and where the kernel groups processes by session for scheduling
        // (autogroup), the encoder's time is not taken from the drawing's share.
        setsid();
        int null = open("/dev/null", O_WRONLY | O_CLOEXEC);
        dup2(data[0], 0);
        dup2(outfd >= 0 ? outfd : null, 1);
        dup2(logfd, 2);
        if (progfd == 3) // dup2 onto itself would leave it close-on-exec
            fcntl(3, F_SETFD, 0);
        else
            dup2(progfd, 3);
        execvp(argv[0], argv);
        int e = errno;
        (void)!write(status[1], &e, sizeof e);
        _exit(127);
    }
    int forkerr = errno;
    if (pid > 0) encoder = pid;
    sigprocmask(SIG_SETMASK, &old, nullptr);
    if (pid < 0) return fail(err, errlen, "cannot start ffmpeg: %s", strerror(forkerr));
    close(data[0]);
    close(status[1]);
    int e = 0;
    ssize_t n;
    while ((n = read(status[0], &e, sizeof e)) < 0 && errno == EINTR) {
    }
    close(status[0]);
    if (n > 0) {
        waitpid(pid, nullptr, 0);
        encoder = -1;
        close(data[1]);
        if (e == ENOENT)
            return fail(err, errlen,
                        "--video needs ffmpeg, which is not found on PATH (Debian package ffmpeg: "
                        "apt-get install ffmpeg)");
        return fail(err, errlen, "cannot start ffmpeg: %s", strerror(e));
    }
    pipefd = data[1];
    fcntl(pipefd, F_SETPIPE_SZ, 1 << 20); // fewer wake-ups; the default still works
    return true;
}

// ---- frames in flight: drawn by the main thread, written to the pipe by another ----
constexpr int nslots = 3;
static int framew, frameh;                       // as drawn
static std::vector<unsigned char> slots[nslots]; // each as GL reads it: bottom row first
static std::vector<iovec> rows;                  // the writer's, a frame's rows
static std::counting_semaphore<nslots> freeslots(nslots), fullslots(0);
static std::atomic<int> writeerr{0}; // errno of the first failed write; then it only drains
static std::thread writer;
static int head;                        // the slot the drawing fills next
static std::atomic<bool> ending{false}; // the writer returns at its next wake-up

// Rows in reverse: GL's first row is the bottom one, a video's the top one.
static bool writeframe(const unsigned char *rgb) {
    size_t stride = (size_t)framew * 3;
    for (int y = 0; y < frameh; y++)
        rows[y] = {(void *)(rgb + (size_t)(frameh - 1 - y) * stride), stride};
    int at = 0;
    while (at < frameh) {
        ssize_t n = writev(pipefd, &rows[at], frameh - at > IOV_MAX ? IOV_MAX : frameh - at);
        if (n < 0) {
            if (errno == EINTR) continue;
            writeerr = errno;
            return false;
        }
        while (n > 0) {
            size_t take = (size_t)n < rows[at].iov_len ? (size_t)n : rows[at].iov_len;
            rows[at].iov_base = (char *)rows[at].iov_base + take;
            rows[at].iov_len -= take;
            n -= (ssize_t)take;
            if (rows[at].iov_len == 0) at++;
        }
    }
    return true;
}

static void writeloop() {
    for (int k = 0;; k = (k + 1) % nslots) {
        fullslots.acquire();
        if (ending) return;
        if (!writeerr) writeframe(slots[k].data());
        freeslots.release();
    }
}

double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

static char sizearg[32], titlearg[128], filterarg[160];

bool openclip(const outfile &o, int kind, const char *rate, int vw, int vh, int w, int h,
              const char *title, char *err, int errlen) {
    // A pipe or device is handed over as the descriptor already open: a name such as
    // /dev/stdout means another file inside ffmpeg's process.
    bool inplace = !o.tmp[0];
    const char *convert = formats[kind].convert;
    if (w) // Lanczos, as sharp as scaling down goes without ringing much
        snprintf(filterarg, sizeof filterarg, "scale=%d:%d:flags=lanczos%s%s", w, h,
                 convert ? ":" : "", convert ? convert : "");
    else if (convert)
        snprintf(filterarg, sizeof filterarg, "scale=%s", convert);
    snprintf(sizearg, sizeof sizearg, "%dx%d", vw, vh);
    snprintf(titlearg, sizeof titlearg, "title=%s", title);
    snprintf(shown, sizeof shown, "%s%s", inplace ? "pipe:1" : "file:", inplace ? "" : o.tmp);
    showas = o.path;
    const char *argv[64];
    int n = 0;
    const char *input[] = {
        "ffmpeg",   "-hide_banner",  "-nostats",  "-loglevel",   "error", "-y",         "-f",
        "rawvideo", "-pixel_format", "rgb24",     "-video_size", sizearg, "-framerate", rate,
        "-i",       "pipe:0",        "-progress", "pipe:3"};
    for (const char *a : input)
        argv[n++] = a;
    if (filterarg[0]) {
        argv[n++] = "-vf";
        argv[n++] = filterarg;
    }
    for (const char *const *a = formats[kind].args; *a; a++)
        argv[n++] = *a;
    if (const char *flags = formats[kind].movflags[inplace]) {
        argv[n++] = "-movflags";
        argv[n++] = flags;
    }
    const char *output[] = {"-metadata", titlearg, "-f", formats[kind].muxer, shown};
    for (const char *a : output)
        argv[n++] = a;
    argv[n] = nullptr;
    framew = vw;
    frameh = vh;
    for (std::vector<unsigned char> &s : slots)
        s.resize((size_t)vw * vh * 3);
    rows.resize((size_t)vh);
    onfatal(killclip);
    if (!spawn((char *const *)argv, inplace ? fileno(o.f) : -1, err, errlen)) return false;
    writer = std::thread(writeloop);
    return true;
}

// Whether the encoder failed, and why: its exit or signal, and its first words. ffmpeg can
// exit 0 after failing to write the end of the file, so any error it reports counts.
static bool encoderfailed(int st, char *err, int errlen) {
    char why[64] = "", first[512];
    bool said = firstline(first, sizeof first);
    if (WIFEXITED(st) && WEXITSTATUS(st) == 0 && !said) return false;
    if (WIFSIGNALED(st))
        snprintf(why, sizeof why, " (killed by signal %d)", WTERMSIG(st));
    else if (WEXITSTATUS(st) != 0)
        snprintf(why, sizeof why, " (exit status %d)", WEXITSTATUS(st));
    snprintf(err, (size_t)errlen, "ffmpeg failed%s%s%s", why, said ? ": " : "", said ? first : "");
    return true;
}

// The frames ffmpeg says it wrote in its last progress report ("frame=N" lines, the last
// report ending "progress=end"); -1 when it never said it finished.
static long reportedframes() {
    char buf[2048];
    off_t end = lseek(progfd, 0, SEEK_END);
    off_t at = end > (off_t)sizeof buf - 1 ? end - (off_t)sizeof buf + 1 : 0;
    ssize_t n = pread(progfd, buf, sizeof buf - 1, at);
    if (n <= 0) return -1;
    buf[n] = 0;
    long frames = -1;
    bool finished = false;
    char *line = buf;
    if (at && (line = strchr(buf, '\n'))) line++; // the tail's first line may be cut
    while (line && *line) {
        if (!strncmp(line, "frame=", 6)) frames = strtol(line + 6, nullptr, 10);
        finished = !strncmp(line, "progress=end\n", 13);
        if ((line = strchr(line, '\n'))) line++;
    }
    return finished ? frames : -1;
}

static void stopwriter() {
    if (!writer.joinable()) return;
    ending = true;
    fullslots.release();
    writer.join();
}

// Waits for ffmpeg after the end of its input; true when it finished the file.
bool closeclip(clipstats &st, char *err, int errlen) {
    for (int k = 0; k < nslots; k++) // every slot back: all that was queued is written
        freeslots.acquire();
    stopwriter();
    close(pipefd);
    pipefd = -1;
    int status = 0;
    rusage ru = {};
    while (wait4(encoder, &status, 0, &ru) < 0 && errno == EINTR) {
    }
    encoder = -1;
    st.end = now();
    st.encodecpu = ru.ru_utime.tv_sec + ru.ru_utime.tv_usec * 1e-6 + ru.ru_stime.tv_sec +
                   ru.ru_stime.tv_usec * 1e-6;
    bool ok = !encoderfailed(status, err, errlen);
    // An encoder can exit 0 having written nothing (a broken build, a wrapper): only its own
    // count of every frame sent makes the clip whole.
    long made = ok ? reportedframes() : 0;
    if (ok && made < 0)
        ok = fail(err, errlen, "ffmpeg exited without reporting a finished clip");
    else if (ok && (long long)made != st.frames)
        ok = fail(err, errlen, "ffmpeg finished the clip with %ld of its %u frames", made,
                  st.frames);
    close(logfd);
    close(progfd);
    logfd = progfd = -1;
    return ok;
}

unsigned char *nextslot(clipstats &st, char *err, int errlen) {
    double t0 = now();
    if (st.frames == 0) st.start = t0;
    freeslots.acquire();
    st.waiting += now() - t0;
    if (int e = writeerr) { // ffmpeg stopped reading: say why it ended
        freeslots.release();
        if (closeclip(st, err, errlen) || e != EPIPE)
            fail(err, errlen, "writing to ffmpeg failed: %s", strerror(e));
        return nullptr;
    }
    return slots[head].data();
}

void queueslot(clipstats &st) {
    fullslots.release();
    head = (head + 1) % nslots;
    st.frames++;
}

void dropclip() {
    killclip();
    stopwriter();
    if (pipefd >= 0) close(pipefd);
    pipefd = -1;
}

bool showprogress(const clipstats &st, uint32_t all) {
    static int tty = -1;
    if (tty < 0) tty = isatty(2);
    if (!tty) return false;
    double took = now() - st.start, fps = took > 0 ? st.frames / took : 0;
    if (st.frames == all) {
        fprintf(stderr, "\r\033[K");
        return false;
    }
    double left = fps > 0 ? (all - st.frames) / fps : 0;
    fprintf(stderr, "\r\033[Kgridcity-replay: %u/%u frames, %.1f fps, %d:%02d left", st.frames, all,
            fps, (int)left / 60, (int)left % 60);
    return true;
}
