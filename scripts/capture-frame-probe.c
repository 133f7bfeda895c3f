/* Preloaded into the demo by scripts/headless-capture.sh: appends one line per presented frame
 * (a call of glfwSwapBuffers that returned) to NIMBREL_FRAME_LOG, "frame N seconds T cpu C": T
 * is seconds since the probe was loaded, C the processor seconds the whole process has used
 * (every renderer thread), which stays meaningful on a machine shared with other work. The capture waits on these lines instead of guessing
 * from the window title, which frames of half a second or more never update. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

typedef struct GLFWwindow GLFWwindow;
typedef void (*SwapFunction)(GLFWwindow*);

static struct timespec loaded;

static double secondsSinceLoad(void) {
    struct timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (double)(now.tv_sec - loaded.tv_sec) + (now.tv_nsec - loaded.tv_nsec) * 1e-9;
}

static double processorSeconds(void) {
    struct timespec used;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &used);
    return (double)used.tv_sec + used.tv_nsec * 1e-9;
}

__attribute__((constructor)) static void probeLoaded(void) {
    clock_gettime(CLOCK_MONOTONIC, &loaded);
}

void glfwSwapBuffers(GLFWwindow* window) {
    static SwapFunction swap;
    static FILE* log;
    static long frames;
    if (!swap) {
        const char* path = getenv("NIMBREL_FRAME_LOG");
        swap = (SwapFunction)dlsym(RTLD_NEXT, "glfwSwapBuffers");
        /* Without the real function or the log the capture would wait for nothing: stop loudly. */
        if (!swap || !path || !(log = fopen(path, "a"))) {
            fprintf(stderr, "capture-frame-probe: no glfwSwapBuffers or no NIMBREL_FRAME_LOG\n");
            abort();
        }
    }
    swap(window);
    fprintf(log, "frame %ld seconds %.3f cpu %.3f\n", ++frames, secondsSinceLoad(), processorSeconds());
    fflush(log);
}
