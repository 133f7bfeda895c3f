#version 330 core
// One slice of the volume, combined with the image accumulated so far.
//
// Each pixel's view ray is cut with the slice plane; the slab between this slice and the next
// one further from the eye is classified with a pre-integrated transfer function (front and
// back density), corrected for the slice spacing, and lit with the density gradient. Before
// the slab is added, the accumulated image is blurred once more by a kernel that grows with the
// slice's distance from the focal plane, so content far from focus ends up blurred by many
// small passes (depth of field by incremental blurring). The back stack ("sliceStack" 0) walks
// from the far side to the focal plane and puts each slab in front of the accumulation; the
// front stack ("sliceStack" 1) walks from the near side to the focal plane and puts it behind.
// All colours are premultiplied by alpha.

in vec4 nearPoint;
in vec4 farPoint;
flat in mat3 normalMatrix;

out vec4 fragColor;

uniform sampler3D VolumeTexture;     // gradient in RGB (-1..1), density in A (0..1)
uniform sampler2D eyeSampleTexture;  // image accumulated so far
uniform sampler2D noiseTexture;      // jitter along the ray, 0..1
uniform sampler2D trfunc_texture2d;  // (front density, back density) -> colour, sqrt(opacity)

uniform mat4 modelMatrix;
uniform mat4 invM;
uniform mat4 sliceModel;
uniform float divRefByCurSamplingRate;
uniform vec2 noisePosOffset;
uniform float noiseOffsetFactor;
uniform vec2 texSize;
uniform float sliceDistScreenSpace;
uniform int sliceStack;
uniform vec2 nearFar;
uniform float circleOfConfusionRadius;
uniform vec3 lightPos;
uniform vec3 eyePos;
uniform vec3 lightColor;
uniform float trfunc_delta;

// Circle-of-confusion growth per slice of distance from the focal plane, in pixels of a
// 768-row window for a "circleOfConfusionRadius" of 1.
const float blurPixelsPerSlice = 0.006;
const float referenceRows = 768.0;
// Beyond this per-pass offset a four-tap kernel starts to show copies instead of blur.
const float maximumPassOffset = 1.5;
// Per-axis variance of the rotated-grid taps below, in units of the offset squared.
const float rotatedGridVariance = 0.625;

// Gradients shorter than this (about a density step of 3 of 127 over two voxels) carry no
// usable normal; the slab is then shown unlit.
const float unlitGradient = 0.02;
const float litGradient = 0.08;
const float ambient = 0.35;
const float specularStrength = 0.25;
const float specularExponent = 24.0;

const float quantisationStep = 1.0 / 255.0;

// Integer hash of three words, 0..1 (dithers the 8-bit targets differently on every slice).
float hash(uvec3 v) {
    v = v * 1664525u + 1013904223u;
    v.x += v.y * v.z; v.y += v.z * v.x; v.z += v.x * v.y;
    v ^= v >> 16u;
    v.x += v.y * v.z; v.y += v.z * v.x; v.z += v.x * v.y;
    return float(v.x & 0xFFFFFFu) / 16777216.0;
}

bool insideVolume(vec3 local) {
    return all(lessThanEqual(abs(local), vec3(1.0)));
}

// Density and gradient at a volume-space point; outside the box the texture's border reads 0.
vec4 sampleVolume(vec3 local) {
    return texture(VolumeTexture, local * 0.5 + 0.5);
}

// The accumulated image, blurred by one more pass of standard deviation sigma pixels.
vec4 blurredAccumulation(vec2 uv, float sigma) {
    float offset = min(sigma / sqrt(rotatedGridVariance), maximumPassOffset);
    if (offset < 0.02) return texture(eyeSampleTexture, uv);
    vec2 texel = offset / texSize;
    vec4 sum = texture(eyeSampleTexture, uv + texel * vec2(0.5, 1.0));
    sum += texture(eyeSampleTexture, uv + texel * vec2(-1.0, 0.5));
    sum += texture(eyeSampleTexture, uv + texel * vec2(-0.5, -1.0));
    sum += texture(eyeSampleTexture, uv + texel * vec2(1.0, -0.5));
    return sum * 0.25;
}

// Pre-integrated colour (premultiplied) of the slab from front density sf to back density sb.
vec4 classify(float sf, float sb) {
    vec2 coordinate = trfunc_delta + vec2(sf, sb) * (1.0 - 2.0 * trfunc_delta);
    vec4 entry = textureLod(trfunc_texture2d, coordinate, 0.0);
    float alpha = entry.a * entry.a;
    // The table holds the opacity of a slab at the reference rate.
    float k = max(divRefByCurSamplingRate, 0.0);
    alpha = 1.0 - pow(max(1.0 - alpha, 0.0), k);
    return vec4(entry.rgb * alpha, alpha);
}

vec3 shade(vec3 colour, vec3 gradientVoxels, vec3 position, vec3 toEye) {
    float strength = length(gradientVoxels);
    float lit = smoothstep(unlitGradient, litGradient, strength);
    if (lit <= 0.0) return colour;
    // Voxel differences to volume-space units: the box spans 2 units across the texture.
    vec3 gradientLocal = gradientVoxels * vec3(textureSize(VolumeTexture, 0)) * 0.5;
    vec3 normal = -normalize(normalMatrix * gradientLocal);
    // Two-sided: the side of a surface that faces the eye is lit.
    if (dot(normal, toEye) < 0.0) normal = -normal;
    // A light attached to the volume arrives as a world position; without one, the unit
    // vector is the direction in which the light travels.
    vec3 toLight = abs(length(lightPos) - 1.0) < 1e-3 ? -normalize(lightPos)
                                                       : normalize(lightPos - position);
    float diffuse = max(dot(normal, toLight), 0.0);
    vec3 halfway = normalize(toLight + toEye);
    float specular = pow(max(dot(normal, halfway), 0.0), specularExponent);
    vec3 litColour = colour * (ambient + (1.0 - ambient) * diffuse) * lightColor
                   + specularStrength * specular * lightColor;
    return mix(colour, litColour, lit);
}

void main() {
    vec2 uv = gl_FragCoord.xy / texSize;

    vec3 nearWorld = nearPoint.xyz / nearPoint.w;
    vec3 farWorld = farPoint.xyz / farPoint.w;
    float nearDistance = nearFar.x;
    float farDistance = nearFar.y;
    // Near and far points of one ray lie at near/far of the eye's distance along it.
    vec3 eye = (farDistance * nearWorld - nearDistance * farWorld) / (farDistance - nearDistance);
    vec3 rayDirection = normalize(farWorld - nearWorld);

    vec3 towardEye = normalize(eyePos);
    vec3 planeOrigin = sliceModel[3].xyz;
    float radius = length(sliceModel[2].xyz);
    // World distance between neighbouring slices ("sliceDistScreenSpace" is half a step).
    float spacing = 2.0 * sliceDistScreenSpace * radius;
    // Slice-frame z of this slice and its distance from the focal plane (one unit in front of
    // the eye), counted in slices.
    float sliceZ = dot(planeOrigin - modelMatrix[3].xyz, towardEye) / radius;
    float focusDistance = dot(planeOrigin - (eye - towardEye), towardEye);
    float slicesFromFocus = abs(focusDistance) / max(spacing, 1e-6);

    // Blur variance of this pass: R(n + 1)^2 - R(n)^2 with R(n) = growth * n, so that content
    // n slices from focus has a circle of confusion R(n) once the stack reaches the focus.
    float growth = circleOfConfusionRadius * blurPixelsPerSlice * texSize.y / referenceRows;
    float sigma = growth * sqrt(2.0 * slicesFromFocus + 1.0);
    vec4 accumulated = blurredAccumulation(uv, sigma);

    vec4 slab = vec4(0.0);
    float cosine = -dot(rayDirection, towardEye);
    if (cosine > 1e-4) {
        float t = dot(eye - planeOrigin, towardEye) / cosine;
        if (t >= nearDistance && t <= farDistance) {
            // Jitter the sample along the ray by up to one slice so rings turn into grain.
            ivec2 noiseSize = max(textureSize(noiseTexture, 0), ivec2(1));
            ivec2 shift = ivec2(noisePosOffset * vec2(noiseSize))
                        + ivec2(noiseOffsetFactor * sliceZ * vec2(noiseSize));
            ivec2 cell = ((ivec2(gl_FragCoord.xy) + shift) % noiseSize + noiseSize) % noiseSize;
            float jitter = texelFetch(noiseTexture, cell, 0).r;
            float alongRay = spacing / cosine;
            vec3 front = eye + rayDirection * (t + jitter * alongRay);
            vec3 back = front + rayDirection * alongRay;
            vec3 frontLocal = (invM * vec4(front, 1.0)).xyz;
            vec3 backLocal = (invM * vec4(back, 1.0)).xyz;
            if (insideVolume(frontLocal) || insideVolume(backLocal)) {
                vec4 frontSample = sampleVolume(frontLocal);
                float backDensity = sampleVolume(backLocal).a;
                slab = classify(clamp(frontSample.a, 0.0, 1.0), clamp(backDensity, 0.0, 1.0));
                if (slab.a > 0.0) {
                    vec3 colour = shade(slab.rgb / slab.a, frontSample.rgb, front, -rayDirection);
                    slab.rgb = colour * slab.a;
                }
            }
        }
    }

    vec4 result = sliceStack == 0 ? slab + (1.0 - slab.a) * accumulated
                                  : accumulated + (1.0 - accumulated.a) * slab;
    // Dither below one 8-bit step so faint slabs add up on average instead of rounding away.
    float dither = hash(uvec3(uvec2(gl_FragCoord.xy), floatBitsToUint(sliceZ))) - 0.5;
    fragColor = clamp(result + dither * quantisationStep, 0.0, 1.0);
}
