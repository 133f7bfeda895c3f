/* Preloaded into the demo by capture_waits_for_slow_first_frame.sh: holds the demo's k-th
 * buffer swap for the k-th number of NIMBREL_SWAP_HOLDS (seconds, separated by spaces) before
 * it happens, so the window keeps showing the previous frame meanwhile, as on a machine where
 * that frame takes so much longer. Swaps beyond the list pass through at their own pace. */
#define _GNU_SOURCE
#include <dlfcn.h>
#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <time.h>

typedef struct GLFWwindow GLFWwindow;
typedef void (*SwapFunction)(GLFWwindow*);

void glfwSwapBuffers(GLFWwindow* window) {
    static SwapFunction swap;
    static const char* holds;
    if (!swap) {
        swap = (SwapFunction)dlsym(RTLD_NEXT, "glfwSwapBuffers");
        holds = getenv("NIMBREL_SWAP_HOLDS");
        if (!swap) {
            fprintf(stderr, "swap_hold_shim: no glfwSwapBuffers to call\n");
            abort();
        }
    }
    if (holds && *holds) {
        char* rest;
        struct timespec hold = {strtol(holds, &rest, 10), 0};
        holds = rest;
        while (nanosleep(&hold, &hold) != 0 && errno == EINTR) {
        }
    }
    swap(window);
}
