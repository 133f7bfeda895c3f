/* Preloaded into the demo by scripts/soak.sh: counts the frames the demo presents (calls of
 * glfwSwapBuffers), records the process's resident memory (VmRSS of /proc/self/status) every
 * NIMBREL_SOAK_EVERY frames into NIMBREL_SOAK_LOG, and asks the window to close after
 * NIMBREL_SOAK_FRAMES frames, which ends the demo's main loop normally. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

typedef struct GLFWwindow GLFWwindow;
typedef void (*SwapFunction)(GLFWwindow*);
typedef void (*CloseFunction)(GLFWwindow*, int);

static long frames;

static long residentKiB(void) {
    FILE* status = fopen("/proc/self/status", "r");
    char line[256];
    long kib = -1;
    if (!status) return -1;
    while (fgets(line, sizeof line, status)) {
        if (strncmp(line, "VmRSS:", 6) == 0) {
            kib = strtol(line + 6, NULL, 10);
            break;
        }
    }
    fclose(status);
    return kib;
}

static long setting(const char* name, long fallback) {
    const char* text = getenv(name);
    return text && *text ? strtol(text, NULL, 10) : fallback;
}

void glfwSwapBuffers(GLFWwindow* window) {
    static SwapFunction swap;
    static CloseFunction requestClose;
    static FILE* log;
    static long total, every;
    static struct timespec start;
    struct timespec now;
    if (!swap) {
        swap = (SwapFunction)dlsym(RTLD_NEXT, "glfwSwapBuffers");
        requestClose = (CloseFunction)dlsym(RTLD_NEXT, "glfwSetWindowShouldClose");
        total = setting("NIMBREL_SOAK_FRAMES", 2000);
        every = setting("NIMBREL_SOAK_EVERY", 100);
        log = fopen(getenv("NIMBREL_SOAK_LOG") ? getenv("NIMBREL_SOAK_LOG") : "/dev/stderr", "w");
        clock_gettime(CLOCK_MONOTONIC, &start);
        if (!swap || !requestClose || !log) abort();
    }
    swap(window);
    ++frames;
    if (frames == 1 || frames % every == 0 || frames == total) {
        clock_gettime(CLOCK_MONOTONIC, &now);
        fprintf(log, "frame %ld rss_kib %ld seconds %.2f\n", frames, residentKiB(),
                (double)(now.tv_sec - start.tv_sec) + (now.tv_nsec - start.tv_nsec) * 1e-9);
        fflush(log);
    }
    if (frames >= total) requestClose(window, 1);
}
