/*
 * Modem-line shim for the serial tests, loaded with LD_PRELOAD.
 *
 * A pseudo-terminal has no modem-control lines: TIOCMGET/TIOCMSET/TIOCMBIS/
 * TIOCMBIC fail on it with ENOTTY. This library gives every terminal that
 * lacks them a DTR and an RTS line of its own (per file descriptor), so that
 * the real QSerialPort code path can run against a pty slave.
 *
 * - A terminal descriptor gets its lines at the first modem ioctl, with DTR
 *   and RTS raised, as the kernel raises them when a real UART is opened.
 * - close() of such a descriptor drops both lines (HUPCL on last close).
 * - Every modem ioctl and every close is appended to the file named by
 *   TQX_MODEMSHIM_LOG, one line per event:
 *       <CLOCK_MONOTONIC ns> <fd> <attach|set|close> DTR=<0|1> RTS=<0|1>
 *   "set" lines show the state after the call, whether or not it changed.
 * - Everything else, and modem ioctls on real UARTs, go to the real ioctl.
 *
 * The exported symbol tqx_modemshim_present lets a test check that the shim
 * is loaded.
 */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/ioctl.h>
#include <time.h>
#include <unistd.h>

#define MAX_FDS 1024

int tqx_modemshim_present = 1;

static pthread_mutex_t g_lock = PTHREAD_MUTEX_INITIALIZER;
static unsigned char g_tracked[MAX_FDS]; /* 1: lines emulated for this fd */
static int g_lines[MAX_FDS];             /* TIOCM_* bits */

typedef int (*ioctl_fn)(int, unsigned long, ...);
typedef int (*close_fn)(int);

static ioctl_fn real_ioctl(void)
{
    static ioctl_fn fn;
    if (!fn)
        fn = (ioctl_fn)dlsym(RTLD_NEXT, "ioctl");
    return fn;
}

static close_fn real_close(void)
{
    static close_fn fn;
    if (!fn)
        fn = (close_fn)dlsym(RTLD_NEXT, "close");
    return fn;
}

/* Appends one event line; caller holds g_lock. errno is preserved. */
static void log_event(int fd, const char *what, int lines)
{
    const char *path = getenv("TQX_MODEMSHIM_LOG");
    if (!path || !*path)
        return;
    const int saved = errno;
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    char line[128];
    const int n = snprintf(line, sizeof line, "%lld %d %s DTR=%d RTS=%d\n",
                           (long long)ts.tv_sec * 1000000000LL + ts.tv_nsec, fd, what,
                           (lines & TIOCM_DTR) ? 1 : 0, (lines & TIOCM_RTS) ? 1 : 0);
    const int out = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0600);
    if (out >= 0) {
        if (n > 0 && write(out, line, (size_t)n) < 0) {
            /* nothing to do: the test will miss the line */
        }
        real_close()(out);
    }
    errno = saved;
}

static int is_modem_request(unsigned long req)
{
    return req == TIOCMGET || req == TIOCMSET || req == TIOCMBIS || req == TIOCMBIC;
}

int ioctl(int fd, unsigned long req, ...)
{
    va_list ap;
    va_start(ap, req);
    void *arg = va_arg(ap, void *);
    va_end(ap);

    if (!is_modem_request(req) || fd < 0 || fd >= MAX_FDS)
        return real_ioctl()(fd, req, arg);

    pthread_mutex_lock(&g_lock);
    if (!g_tracked[fd]) {
        pthread_mutex_unlock(&g_lock);
        const int rc = real_ioctl()(fd, req, arg);
        const int err = errno;
        if (rc == 0 || (err != ENOTTY && err != EINVAL) || !isatty(fd)) {
            errno = err;
            return rc; /* a real UART, or not a terminal at all */
        }
        pthread_mutex_lock(&g_lock);
        if (!g_tracked[fd]) {
            g_tracked[fd] = 1;
            g_lines[fd] = TIOCM_DTR | TIOCM_RTS;
            log_event(fd, "attach", g_lines[fd]);
        }
    }
    int *bits = (int *)arg;
    int rc = 0;
    if (!bits) {
        errno = EFAULT;
        rc = -1;
    } else if (req == TIOCMGET) {
        *bits = g_lines[fd];
    } else {
        const int mask = TIOCM_DTR | TIOCM_RTS;
        if (req == TIOCMSET)
            g_lines[fd] = *bits & mask;
        else if (req == TIOCMBIS)
            g_lines[fd] |= *bits & mask;
        else
            g_lines[fd] &= ~(*bits & mask);
        log_event(fd, "set", g_lines[fd]);
    }
    pthread_mutex_unlock(&g_lock);
    return rc;
}

int close(int fd)
{
    if (fd >= 0 && fd < MAX_FDS) {
        pthread_mutex_lock(&g_lock);
        if (g_tracked[fd]) {
            g_tracked[fd] = 0;
            g_lines[fd] = 0;
            log_event(fd, "close", 0);
        }
        pthread_mutex_unlock(&g_lock);
    }
    return real_close()(fd);
}
