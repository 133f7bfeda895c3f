#version 330 core
// One view-aligned slice. The quad is rasterised over the whole window, so every pixel of the
// ping-pong target is written (pixels the slice misses carry the accumulated image on); the
// fragment shader finds where each pixel's view ray crosses the slice plane of "sliceModel".
// Everything that is the same for all pixels of the slice is worked out here, once per vertex.
layout(location = 0) in vec3 vertexPosition;

uniform mat4 PV;
uniform mat4 sliceModel;
uniform mat4 modelMatrix;
uniform mat4 invM;
uniform vec3 eyePos;
uniform vec2 nearFar;
uniform vec2 texSize;
uniform float sliceDistScreenSpace;
uniform float circleOfConfusionRadius;
uniform vec3 lightPos;
uniform sampler3D VolumeTexture;
uniform sampler2D noiseTexture;
uniform vec2 noisePosOffset;
uniform float noiseOffsetFactor;

// World points where the pixel's ray meets the near and far planes, kept homogeneous so that
// screen-linear interpolation stays exact.
out vec4 nearPoint;
out vec4 farPoint;

flat out vec3 eyeWorld;          // the eye, rebuilt from the near and far planes
flat out vec3 eyeLocal;          // the eye in the volume's -1..1 box
flat out vec3 towardEye;         // slice normal, unit vector toward the eye
flat out float eyeToSlice;       // distance from the eye to the slice plane along towardEye
flat out float spacing;          // world distance between neighbouring slices
flat out float blurOffset;       // tap offset of this slice's blur pass in pixels; 0: no blur
flat out float ditherPhase;      // advances the per-pixel dither from slice to slice
flat out vec2 noiseShift;        // noise offset in texels
flat out vec2 noiseScale;        // 1 / noise texture size
flat out mat3 normalMatrix;      // volume-space gradients to world-space normals
flat out vec3 gradientScale;     // voxel differences to volume-space units
flat out vec3 lightDirection;    // toward the light, when the light is a direction
flat out float lightIsDirection;
flat out float readBackSample;   // 1: the slab spans more than a voxel, read its back end

// Circle-of-confusion growth per slice of distance from the focal plane, in pixels of a
// 768-row window for a "circleOfConfusionRadius" of 1.
const float blurPixelsPerSlice = 0.006;
const float referenceRows = 768.0;
// The accumulation is blurred on every eighth slice only, by the variance of eight slices:
// the same depth of field for an eighth of the texture reads (and fewer 8-bit roundings).
const int blurInterval = 8;
// Beyond this offset the four taps start to show copies instead of blur.
const float maximumBlurOffset = 2.0;
// Below this per-axis variance (pixels squared) the pass would change no 8-bit value.
const float minimumBlurVariance = 0.01;
const float goldenRatioFraction = 0.618034;
// Longest slab, in voxels, whose back density is still extrapolated from the gradient.
const float maximumExtrapolatedVoxels = 1.0;

void main() {
    mat4 inversePV = inverse(PV);
    nearPoint = inversePV * vec4(vertexPosition.xy, -1.0, 1.0);
    farPoint = inversePV * vec4(vertexPosition.xy, 1.0, 1.0);

    // Near and far points of one ray lie at near/far of the eye's distance along it.
    vec4 centreNear = inversePV * vec4(0.0, 0.0, -1.0, 1.0);
    vec4 centreFar = inversePV * vec4(0.0, 0.0, 1.0, 1.0);
    vec3 n = centreNear.xyz / centreNear.w;
    vec3 f = centreFar.xyz / centreFar.w;
    eyeWorld = (nearFar.y * n - nearFar.x * f) / (nearFar.y - nearFar.x);
    eyeLocal = (invM * vec4(eyeWorld, 1.0)).xyz;

    towardEye = normalize(eyePos);
    vec3 planeOrigin = sliceModel[3].xyz;
    float radius = length(sliceModel[2].xyz);
    eyeToSlice = dot(eyeWorld - planeOrigin, towardEye);
    // "sliceDistScreenSpace" is half a step of the slice frame; kept finite for a rate of 0.
    float sliceStep = clamp(2.0 * sliceDistScreenSpace, 1e-6, 2.0);
    spacing = sliceStep * radius;

    // Slice-frame z, index of the slice in its stack, and distance from the focal plane (one
    // unit in front of the eye) counted in slices.
    float sliceZ = dot(planeOrigin - modelMatrix[3].xyz, towardEye) / radius;
    int sliceIndex = int(floor((sliceZ + 1.0) / sliceStep + 0.5));
    float slicesFromFocus = abs(eyeToSlice - 1.0) / spacing;

    // Content n slices from focus should reach the focal plane with a circle of confusion
    // R(n) = growth * n: a slice adds the variance R(n + 1)^2 - R(n)^2, and every
    // blurInterval-th slice applies that of blurInterval slices at once.
    blurOffset = 0.0;
    if (sliceIndex % blurInterval == 0) {
        float growth = circleOfConfusionRadius * blurPixelsPerSlice * texSize.y / referenceRows;
        float sigma = growth * sqrt(float(blurInterval) * (2.0 * slicesFromFocus + 1.0));
        float variance = sigma * sigma;
        // Four bilinear taps at (+-o, +-o) form a separable kernel whose per-axis variance is
        // o^2 + f(1 - f), f = fract(o) (the filter's own spread included): o itself below one
        // pixel, and k + (v - k^2) / (2k + 1) with k = floor(sqrt(v)) above.
        if (variance >= minimumBlurVariance) {
            float k = floor(sqrt(variance));
            float offset = k + (variance - k * k) / (2.0 * k + 1.0);
            blurOffset = min(offset, maximumBlurOffset);
        }
    }
    ditherPhase = fract(float(sliceIndex) * goldenRatioFraction);

    vec2 noiseSize = vec2(max(textureSize(noiseTexture, 0), ivec2(1)));
    noiseScale = 1.0 / noiseSize;
    noiseShift = floor(noisePosOffset * noiseSize + noiseOffsetFactor * sliceZ * noiseSize);

    normalMatrix = transpose(inverse(mat3(modelMatrix)));
    // The box spans 2 units across the texture.
    gradientScale = vec3(textureSize(VolumeTexture, 0)) * 0.5;
    // Longest voxel distance a world step of one spacing can cover (rows of invM give the
    // per-axis stretch). Past about a voxel the gradient no longer predicts the back density:
    // at an edge it overshoots into densities the volume lacks.
    mat3 toLocal = mat3(invM);
    vec3 voxelsPerUnit = vec3(length(vec3(toLocal[0][0], toLocal[1][0], toLocal[2][0])),
                              length(vec3(toLocal[0][1], toLocal[1][1], toLocal[2][1])),
                              length(vec3(toLocal[0][2], toLocal[1][2], toLocal[2][2]))) * gradientScale;
    readBackSample = spacing * length(voxelsPerUnit) > maximumExtrapolatedVoxels ? 1.0 : 0.0;

    // A light attached to the volume arrives as a world position; without one, a unit vector:
    // the direction in which the light travels.
    lightIsDirection = abs(length(lightPos) - 1.0) < 1e-3 ? 1.0 : 0.0;
    lightDirection = -normalize(lightPos);

    gl_Position = vec4(vertexPosition.xy, 0.0, 1.0);
}
