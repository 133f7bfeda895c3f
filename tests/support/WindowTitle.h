#pragma once
// Reads a window's title back from the X server (GLFW 3.3 can set a title but not read it).
#include <string>

struct GLFWwindow;

namespace TestSupport {

// The window's WM_NAME, or "<no title>" when the X server has none or Xlib is not loaded.
std::string readWindowTitle(GLFWwindow* window);

}  // namespace TestSupport
