#version 330 core
// One view-aligned slice. The quad is rasterised over the whole window, so every pixel of the
// ping-pong target is written (pixels the slice misses carry the accumulated image on); the
// fragment shader finds where each pixel's view ray crosses the slice plane of "sliceModel".
layout(location = 0) in vec3 vertexPosition;

uniform mat4 PV;
uniform mat4 modelMatrix;

// World points where the pixel's ray meets the near and far planes, kept homogeneous so that
// screen-linear interpolation stays exact.
out vec4 nearPoint;
out vec4 farPoint;
// Takes volume-space gradients to world-space normals.
flat out mat3 normalMatrix;

void main() {
    mat4 inversePV = inverse(PV);
    nearPoint = inversePV * vec4(vertexPosition.xy, -1.0, 1.0);
    farPoint = inversePV * vec4(vertexPosition.xy, 1.0, 1.0);
    normalMatrix = transpose(inverse(mat3(modelMatrix)));
    gl_Position = vec4(vertexPosition.xy, 0.0, 1.0);
}
