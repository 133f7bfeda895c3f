#version 330 core
// The shadow framebuffer has no colour attachment: only the depth of the fragment is kept.
void main() {
}
