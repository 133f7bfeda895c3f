#version 330 core
// Declares no colour output: the pass only updates the stencil buffer, and the pipeline masks
// colour writes while it runs so the three geometry buffers stay intact.
void main() {
}
