/* Preloaded into the launcher by its tests.
 * XR_SHIM_FAIL_FORK set: fork() first has SIGTERM sent to the process (the
 * signal arrives while no child exists) and then fails with EAGAIN.
 * XR_SHIM_TERM_AFTER_REAP set: a waitpid() that has reaped a child has
 * SIGTERM sent to the process before it returns.
 * XR_SHIM_KILL_LOG=<file>: every kill() call appends "<pid> <signal>" to the
 * file; only calls that name a single process are passed on. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

pid_t fork(void)
{
    static pid_t (*real_fork)(void);
    if (getenv("XR_SHIM_FAIL_FORK") != NULL) {
        raise(SIGTERM);
        errno = EAGAIN;
        return -1;
    }
    if (real_fork == NULL)
        real_fork = (pid_t(*)(void))dlsym(RTLD_NEXT, "fork");
    return real_fork();
}

pid_t waitpid(pid_t pid, int* status, int options)
{
    static pid_t (*real_waitpid)(pid_t, int*, int);
    if (real_waitpid == NULL)
        real_waitpid = (pid_t(*)(pid_t, int*, int))dlsym(RTLD_NEXT, "waitpid");
    const pid_t reaped = real_waitpid(pid, status, options);
    if (reaped > 0 && getenv("XR_SHIM_TERM_AFTER_REAP") != NULL)
        raise(SIGTERM);
    return reaped;
}

int kill(pid_t pid, int sig)
{
    static int (*real_kill)(pid_t, int);
    const char* log = getenv("XR_SHIM_KILL_LOG");
    if (log != NULL) {
        FILE* f = fopen(log, "a");
        if (f != NULL) {
            fprintf(f, "%d %d\n", (int)pid, sig);
            fclose(f);
        }
    }
    if (pid <= 0)
        return 0;
    if (real_kill == NULL)
        real_kill = (int (*)(pid_t, int))dlsym(RTLD_NEXT, "kill");
    return real_kill(pid, sig);
}
