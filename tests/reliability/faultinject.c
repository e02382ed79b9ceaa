/* A test-only LD_PRELOAD library that SIGKILLs its process at a chosen
 * system call of the writes into the folder BV_FI_DIR: an open for writing,
 * each write(), fsync()/fdatasync(), a rename in or out, in program order.
 *   BV_FI_KILL_AT  N: kill just before the Nth counted call (0: never)
 *   BV_FI_TORN     1: a chosen write() writes half its bytes first
 *   BV_FI_ARM      a file: counting starts at the first open after it exists
 *   BV_FI_LOG      gets "<n> <call> <path>" per call, " kill" on the chosen one
 * Only the names the program calls are hooked: a write made through another
 * name goes unlogged, and the sweep then fails on the file it finds.
 * _GNU_SOURCE comes from the build. */
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <stdarg.h>
#include <stdatomic.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#define MAX_FDS 4096

static char g_dir[PATH_MAX];
static size_t g_dirLength;
static long g_killAt;
static int g_torn;
static const char* g_arm;
static atomic_int g_armed;
static atomic_long g_count;
static int g_log = -1;
/* Tracked descriptors: the path they were opened with, or NULL. */
static char* g_paths[MAX_FDS];

static int (*real_open)(const char*, int, ...);
static ssize_t (*real_write)(int, const void*, size_t);
static int (*real_fsync)(int);
static int (*real_fdatasync)(int);
static int (*real_close)(int);
static int (*real_rename)(const char*, const char*);

static atomic_int g_ready;

/* Also run on first use: another library's constructor may write first. */
__attribute__((constructor)) static void setUp(void) {
    if (atomic_load(&g_ready) || atomic_exchange(&g_ready, 1))
        return;
    real_open = dlsym(RTLD_NEXT, "open");
    real_write = dlsym(RTLD_NEXT, "write");
    real_fsync = dlsym(RTLD_NEXT, "fsync");
    real_fdatasync = dlsym(RTLD_NEXT, "fdatasync");
    real_close = dlsym(RTLD_NEXT, "close");
    real_rename = dlsym(RTLD_NEXT, "rename");

    const char* dir = getenv("BV_FI_DIR");
    if (dir && *dir && strlen(dir) < sizeof g_dir) {
        strcpy(g_dir, dir);
        g_dirLength = strlen(g_dir);
        while (g_dirLength > 1 && g_dir[g_dirLength - 1] == '/')
            g_dir[--g_dirLength] = '\0';
    }
    const char* killAt = getenv("BV_FI_KILL_AT");
    g_killAt = killAt ? strtol(killAt, NULL, 10) : 0;
    const char* torn = getenv("BV_FI_TORN");
    g_torn = torn && strcmp(torn, "1") == 0;
    g_arm = getenv("BV_FI_ARM");
    if (g_arm && !*g_arm)
        g_arm = NULL;
    atomic_store(&g_armed, g_arm == NULL);
    const char* log = getenv("BV_FI_LOG");
    if (log && *log && g_dirLength)
        g_log = (int)syscall(SYS_openat, AT_FDCWD, log, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC,
                             0600);
}

static int inFolder(const char* path) {
    if (!g_dirLength || !path || path[0] != '/')
        return 0;
    return strncmp(path, g_dir, g_dirLength) == 0 &&
           (path[g_dirLength] == '\0' || path[g_dirLength] == '/');
}

static const char* trackedPath(int fd) {
    return fd >= 0 && fd < MAX_FDS ? g_paths[fd] : NULL;
}

static void note(long n, const char* call, const char* path, const char* extra) {
    if (g_log < 0)
        return;
    char line[PATH_MAX + 64];
    const int length = snprintf(line, sizeof line, "%ld %s %s%s\n", n, call, path, extra);
    if (length > 0)
        syscall(SYS_write, g_log, line,
                (size_t)(length < (int)sizeof line ? length : (int)sizeof line - 1));
}

static void die(void) {
    syscall(SYS_kill, getpid(), SIGKILL);
    for (;;)
        pause();
}

/* Numbers a call; kills before the chosen one. Returns 1 when the caller
 * has to kill after a torn write of its own. */
static int counted(const char* call, const char* path, int isWrite) {
    if (!atomic_load(&g_armed))
        return 0;
    const long n = atomic_fetch_add(&g_count, 1) + 1;
    const int chosen = g_killAt > 0 && n == g_killAt;
    note(n, call, path, chosen ? (g_torn && isWrite ? " torn" : " kill") : "");
    if (chosen && g_torn && isWrite)
        return 1;
    if (chosen)
        die();
    return 0;
}

static int writes(int flags) {
    return (flags & O_ACCMODE) != O_RDONLY || (flags & (O_CREAT | O_TRUNC)) != 0;
}

static void beforeOpen(const char* path, int flags) {
    if (!inFolder(path) || !writes(flags))
        return;
    if (!atomic_load(&g_armed) && g_arm && access(g_arm, F_OK) == 0)
        atomic_store(&g_armed, 1);
    counted("open", path, 0);
}

static int afterOpen(int fd, const char* path) {
    if (fd >= 0 && fd < MAX_FDS && inFolder(path)) {
        free(g_paths[fd]);
        g_paths[fd] = strdup(path);
    }
    return fd;
}

static mode_t modeArgument(int flags, va_list args) {
    return (flags & (O_CREAT | __O_TMPFILE)) ? (mode_t)va_arg(args, int) : 0;
}

int open(const char* path, int flags, ...) {
    setUp();
    va_list args;
    va_start(args, flags);
    const mode_t mode = modeArgument(flags, args);
    va_end(args);
    beforeOpen(path, flags);
    return afterOpen(real_open(path, flags, mode), path);
}

/* On a 64-bit system the large-file form is the same call. */
int open64(const char* path, int flags, ...) __attribute__((alias("open")));

ssize_t write(int fd, const void* data, size_t size) {
    setUp();
    const char* path = trackedPath(fd);
    if (path && counted("write", path, 1)) {
        real_write(fd, data, size / 2);
        die();
    }
    return real_write(fd, data, size);
}

static void beforeFlush(int fd, const char* call) {
    setUp();
    const char* path = trackedPath(fd);
    if (path)
        counted(call, path, 0);
}

int fsync(int fd) {
    beforeFlush(fd, "fsync");
    return real_fsync(fd);
}

int fdatasync(int fd) {
    beforeFlush(fd, "fdatasync");
    return real_fdatasync(fd);
}

int close(int fd) {
    setUp();
    if (fd >= 0 && fd < MAX_FDS && g_paths[fd]) {
        free(g_paths[fd]);
        g_paths[fd] = NULL;
    }
    return real_close(fd);
}

static void beforeRename(const char* from, const char* to) {
    if (inFolder(from) || inFolder(to))
        counted("rename", inFolder(to) ? to : from, 0);
}

int rename(const char* from, const char* to) {
    setUp();
    beforeRename(from, to);
    return real_rename(from, to);
}
