#include "WindowTitle.h"

#include <GLFW/glfw3.h>
#include <X11/Xlib.h>
#include <dlfcn.h>

// GLFW's X11 accessors, declared as glfw3native.h does (that header also wants the XRandR
// headers, which this machine need not have).
extern "C" {
Display* glfwGetX11Display(void);
Window glfwGetX11Window(GLFWwindow* window);
}

namespace TestSupport {

std::string readWindowTitle(GLFWwindow* window) {
    // Xlib is already in the process as GLFW's dependency; the tests are not linked against it
    // themselves, so its two functions are looked up at run time.
    using FetchName = Status (*)(Display*, Window, char**);
    using Free = int (*)(void*);
    const auto fetchName = reinterpret_cast<FetchName>(dlsym(RTLD_DEFAULT, "XFetchName"));
    const auto xFree = reinterpret_cast<Free>(dlsym(RTLD_DEFAULT, "XFree"));
    if (!fetchName || !xFree || !window) return "<no title>";
    // The query is a round trip, so Xlib first sends what it still buffers (the title just set).
    char* name = nullptr;
    if (!fetchName(glfwGetX11Display(), glfwGetX11Window(window), &name) || !name) return "<no title>";
    std::string title(name);
    xFree(name);
    return title;
}

}  // namespace TestSupport
