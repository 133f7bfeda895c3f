#version 330 core
// One view-aligned slice. Everything that is the same for all pixels of the slice is worked out
// here, once per vertex: the fragment stage rebuilds each pixel's view ray from its window
// position and these flat values, so what a pixel computes does not depend on where the quad's
// corners are.
//
// The quad is placed over the part of the window that can hold anything non-zero once this
// slice is drawn: the projection of the part of the volume's box the stack has already crossed,
// widened by the spread of the blur passes so far. Outside it the accumulation is zero (the
// pipeline's clear already wrote that), and a slice with nothing crossed yet draws nothing.
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
uniform int sliceStack;
uniform vec3 lightPos;
uniform sampler3D VolumeTexture;
uniform sampler2D noiseTexture;
uniform vec2 noisePosOffset;
uniform float noiseOffsetFactor;

// View ray of a pixel at window coordinates (x, y), away from the eye, unnormalised: world
// rayOrigin + x * rayPerPixel[0] + y * rayPerPixel[1], and the same in the volume's box.
flat out vec3 rayOrigin;
flat out mat2x3 rayPerPixel;
flat out vec3 localRayOrigin;
flat out mat2x3 localRayPerPixel;

flat out vec3 eyeWorld;          // the eye, rebuilt from the near and far planes
flat out vec3 eyeLocal;          // the eye in the volume's -1..1 box
flat out vec3 towardEye;         // slice normal, unit vector toward the eye
flat out float eyeToSlice;       // distance from the eye to the slice plane along towardEye
flat out float spacing;          // world distance between neighbouring slices
flat out float blurOffset;       // tap offset of this slice's blur pass in pixels; 0: no blur
flat out float ditherPhase;      // advances the per-pixel dither from slice to slice
flat out vec2 noiseShift;        // noise offset in whole texels, within one period
flat out vec2 noiseExtent;       // noise texture size in texels
flat out mat3 gradientToNormal;  // voxel differences to world-space normals (unnormalised)
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
// Blur passes added up one by one before the rest are counted at their widest.
const int maximumCountedPasses = 256;
// Slack, in slice units and pixels, for rounding between this bound and the slices' own values.
const float sliceSlack = 1e-4;
const float pixelSlack = 1.0;
// The fragment stage's smallest cosine between a drawn ray and the view axis.
const float minimumRayCosine = 1e-4;

// Tap offset of the blur pass of a slice `slicesFromFocus` slices from the focal plane.
float blurPassOffset(float growth, float slicesFromFocus) {
    // Content n slices from focus should reach the focal plane with a circle of confusion
    // R(n) = growth * n: a slice adds the variance R(n + 1)^2 - R(n)^2, and every
    // blurInterval-th slice applies that of blurInterval slices at once.
    float sigma = growth * sqrt(float(blurInterval) * (2.0 * slicesFromFocus + 1.0));
    float variance = sigma * sigma;
    // Four bilinear taps at (+-o, +-o) form a separable kernel whose per-axis variance is
    // o^2 + f(1 - f), f = fract(o) (the filter's own spread included): o itself below one
    // pixel, and k + (v - k^2) / (2k + 1) with k = floor(sqrt(v)) above.
    if (variance < minimumBlurVariance) return 0.0;
    float k = floor(sqrt(variance));
    return min(k + (variance - k * k) / (2.0 * k + 1.0), maximumBlurOffset);
}

// Pixels a pass with this tap offset can move non-zero content: the taps reach floor(o) texels
// out, and bilinear filtering one more.
float blurPassSpread(float offset) {
    return offset > 0.0 ? floor(offset + 1e-3) + 1.0 : 0.0;
}

// Widens the screen bounds [low, high] (normalised device coordinates) by a world point; a
// point at or behind the eye plane sets behindEye instead of projecting sensibly.
void includePoint(vec3 point, inout vec2 low, inout vec2 high, inout bool behindEye) {
    vec4 clip = PV * vec4(point, 1.0);
    behindEye = behindEye || clip.w <= 0.0;
    low = min(low, clip.xy / clip.w);
    high = max(high, clip.xy / clip.w);
}

void main() {
    mat4 inversePV = inverse(PV);
    // Near and far points of one ray lie at near/far of the eye's distance along it.
    vec4 centreNear = inversePV * vec4(0.0, 0.0, -1.0, 1.0);
    vec4 centreFar = inversePV * vec4(0.0, 0.0, 1.0, 1.0);
    vec3 n = centreNear.xyz / centreNear.w;
    vec3 f = centreFar.xyz / centreFar.w;
    eyeWorld = (nearFar.y * n - nearFar.x * f) / (nearFar.y - nearFar.x);
    eyeLocal = (invM * vec4(eyeWorld, 1.0)).xyz;

    // The far point of the ray through normalised device (x, y) is inversePV (x, y, 1, 1):
    // its homogeneous difference from the eye is linear in x and y, and so in window pixels.
    vec4 farX = inversePV[0];
    vec4 farY = inversePV[1];
    vec4 farOrigin = inversePV[2] + inversePV[3];
    vec3 perX = farX.xyz - eyeWorld * farX.w;
    vec3 perY = farY.xyz - eyeWorld * farY.w;
    vec3 atCentre = farOrigin.xyz - eyeWorld * farOrigin.w;
    vec2 ndcPerPixel = 2.0 / texSize;
    rayPerPixel = mat2x3(perX * ndcPerPixel.x, perY * ndcPerPixel.y);
    rayOrigin = atCentre - perX - perY;
    mat3 toLocal = mat3(invM);
    localRayOrigin = toLocal * rayOrigin;
    localRayPerPixel = toLocal * rayPerPixel;

    towardEye = normalize(eyePos);
    vec3 planeOrigin = sliceModel[3].xyz;
    vec3 centre = modelMatrix[3].xyz;
    float radius = length(sliceModel[2].xyz);
    eyeToSlice = dot(eyeWorld - planeOrigin, towardEye);
    // "sliceDistScreenSpace" is half a step of the slice frame; kept finite for a rate of 0.
    float sliceStep = clamp(2.0 * sliceDistScreenSpace, 1e-6, 2.0);
    spacing = sliceStep * radius;

    // Slice-frame z, index of the slice in its stack, and distance from the focal plane (one
    // unit in front of the eye) counted in slices, signed: positive beyond it.
    float sliceZ = dot(planeOrigin - centre, towardEye) / radius;
    int sliceIndex = int(floor((sliceZ + 1.0) / sliceStep + 0.5));
    float beyondFocus = (eyeToSlice - 1.0) / spacing;

    float growth = circleOfConfusionRadius * blurPixelsPerSlice * texSize.y / referenceRows;
    blurOffset = sliceIndex % blurInterval == 0 ? blurPassOffset(growth, abs(beyondFocus)) : 0.0;
    ditherPhase = fract(float(sliceIndex) * goldenRatioFraction);

    noiseExtent = vec2(max(textureSize(noiseTexture, 0), ivec2(1)));
    noiseShift = floor(noisePosOffset * noiseExtent + noiseOffsetFactor * sliceZ * noiseExtent);
    noiseShift -= noiseExtent * floor(noiseShift / noiseExtent);

    // The box spans 2 units across the texture.
    gradientScale = vec3(textureSize(VolumeTexture, 0)) * 0.5;
    // Voxel differences to volume-space units, then the normal matrix of the world transform.
    gradientToNormal = transpose(inverse(mat3(modelMatrix))) *
                       mat3(gradientScale.x, 0.0, 0.0, 0.0, gradientScale.y, 0.0, 0.0, 0.0, gradientScale.z);
    // Longest voxel distance a world step of one spacing can cover (rows of invM give the
    // per-axis stretch). Past about a voxel the gradient no longer predicts the back density:
    // at an edge it overshoots into densities the volume lacks.
    vec3 voxelsPerUnit = vec3(length(vec3(toLocal[0][0], toLocal[1][0], toLocal[2][0])),
                              length(vec3(toLocal[0][1], toLocal[1][1], toLocal[2][1])),
                              length(vec3(toLocal[0][2], toLocal[1][2], toLocal[2][2]))) * gradientScale;
    readBackSample = spacing * length(voxelsPerUnit) > maximumExtrapolatedVoxels ? 1.0 : 0.0;

    // A light attached to the volume arrives as a world position; without one, a unit vector:
    // the direction in which the light travels.
    lightIsDirection = abs(length(lightPos) - 1.0) < 1e-3 ? 1.0 : 0.0;
    lightDirection = -normalize(lightPos);

#ifdef COVER_WHOLE_WINDOW
    gl_Position = vec4(vertexPosition.xy, 0.0, 1.0);
#else
    // The part of the box the stack has crossed, in slice-frame z: behind this slice for the
    // back stack, in front of it for the front stack, and never closer to the eye plane than a
    // drawn point can be (the fragment stage takes points at least the near distance along a
    // ray with a cosine above 1e-4); every point that far ahead projects.
    float zEye = dot(eyeWorld - centre, towardEye) / radius;
    float zAhead = zEye - minimumRayCosine * nearFar.x / radius;
    float zLow = sliceStack == 0 ? -1e30 : sliceZ - sliceSlack;
    float zHigh = min(sliceStack == 0 ? sliceZ + sliceSlack : 1e30, zAhead);

    vec3 corner[8];
    float cornerZ[8];
    float boxLow = 1e30, boxHigh = -1e30;
    for (int i = 0; i < 8; ++i) {
        vec3 local = vec3((i & 1) != 0 ? 1.0 : -1.0, (i & 2) != 0 ? 1.0 : -1.0, (i & 4) != 0 ? 1.0 : -1.0);
        corner[i] = (modelMatrix * vec4(local, 1.0)).xyz;
        cornerZ[i] = dot(corner[i] - centre, towardEye) / radius;
        boxLow = min(boxLow, cornerZ[i]);
        boxHigh = max(boxHigh, cornerZ[i]);
    }
    // Screen bounds of the clipped box: its corners inside the z range and the points where
    // its edges cross the range's two planes.
    vec2 low = vec2(1e30), high = vec2(-1e30);
    bool behindEye = false;
    for (int i = 0; i < 8; ++i) {
        if (cornerZ[i] >= zLow && cornerZ[i] <= zHigh) includePoint(corner[i], low, high, behindEye);
        for (int axis = 1; axis <= 4; axis *= 2) {
            if ((i & axis) != 0) continue;
            int j = i | axis;
            for (int side = 0; side < 2; ++side) {
                float plane = side == 0 ? zLow : zHigh;
                float a = cornerZ[i] - plane, b = cornerZ[j] - plane;
                if ((a < 0.0 && b > 0.0) || (a > 0.0 && b < 0.0)) {
                    includePoint(mix(corner[i], corner[j], a / (a - b)), low, high, behindEye);
                }
            }
        }
    }

    // Spread of the blur passes so far, over the slices from the first one that can meet the
    // box up to this one (back stack), or from this one up to the last one that can (front).
    int firstIndex, lastIndex;
    if (sliceStack == 0) {
        firstIndex = max(int(floor((boxLow + 1.0) / sliceStep)) - 1, 0);
        lastIndex = sliceIndex;
    } else {
        firstIndex = sliceIndex;
        lastIndex = int(min(ceil((boxHigh + 1.0) / sliceStep) + 1.0, 2.0 / sliceStep + 1.0));
    }
    firstIndex = (firstIndex + blurInterval - 1) / blurInterval * blurInterval;
    float spread = 0.0;
    int counted = 0;
    for (int j = firstIndex; j <= lastIndex; j += blurInterval) {
        if (counted == maximumCountedPasses) {
            spread += float((lastIndex - j) / blurInterval + 1) * blurPassSpread(maximumBlurOffset);
            break;
        }
        spread += blurPassSpread(blurPassOffset(growth, abs(beyondFocus + float(sliceIndex - j))));
        ++counted;
    }

    vec2 lowPixel = floor((low * 0.5 + 0.5) * texSize) - (spread + pixelSlack);
    vec2 highPixel = ceil((high * 0.5 + 0.5) * texSize) + (spread + pixelSlack);
    lowPixel = clamp(lowPixel, vec2(0.0), texSize);
    highPixel = clamp(highPixel, vec2(0.0), texSize);
    if (behindEye) {
        lowPixel = vec2(0.0);
        highPixel = texSize;
    }
    if (any(greaterThanEqual(lowPixel, highPixel))) {
        // Nothing crossed yet (or all of it off screen): the quad collapses to a point.
        gl_Position = vec4(0.0, 0.0, 0.0, 1.0);
    } else {
        vec2 pixel = mix(lowPixel, highPixel, vertexPosition.xy * 0.5 + 0.5);
        gl_Position = vec4(pixel / texSize * 2.0 - 1.0, 0.0, 1.0);
    }
#endif
}
