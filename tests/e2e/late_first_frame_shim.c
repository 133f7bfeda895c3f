/* Preloaded into the demo by capture_waits_for_slow_first_frame.sh: holds the demo's first
 * buffer swap until NIMBREL_FIRST_FRAME_SECONDS after the process started, so the window shows
 * nothing until then, as on a machine where the first frame takes that long. Later frames pass
 * through at their own pace. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <errno.h>
#include <time.h>

typedef struct GLFWwindow GLFWwindow;
typedef void (*SwapFunction)(GLFWwindow*);

static struct timespec loaded;

__attribute__((constructor)) static void shimLoaded(void) {
    clock_gettime(CLOCK_MONOTONIC, &loaded);
}

void glfwSwapBuffers(GLFWwindow* window) {
    static SwapFunction swap;
    static int held;
    if (!swap && !(swap = (SwapFunction)dlsym(RTLD_NEXT, "glfwSwapBuffers"))) {
        fprintf(stderr, "late_first_frame_shim: no glfwSwapBuffers to call\n");
        abort();
    }
    if (!held) {
        const char* text = getenv("NIMBREL_FIRST_FRAME_SECONDS");
        struct timespec until = loaded;
        held = 1;
        until.tv_sec += text ? strtol(text, NULL, 10) : 0;
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &until, NULL) == EINTR) {
        }
    }
    swap(window);
}
