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

flat in vec3 rayOrigin;
flat in mat2x3 rayPerPixel;
flat in vec3 localRayOrigin;
flat in mat2x3 localRayPerPixel;
flat in vec3 eyeWorld;
flat in vec3 eyeLocal;
flat in vec3 towardEye;
flat in float eyeToSlice;
flat in float spacing;
flat in float blurOffset;
flat in float ditherPhase;
flat in vec2 noiseShift;
flat in vec2 noiseExtent;
flat in mat3 gradientToNormal;
flat in vec3 gradientScale;
flat in vec3 lightDirection;
flat in float lightIsDirection;
flat in float readBackSample;

out vec4 fragColor;

uniform sampler3D VolumeTexture;     // gradient in RGB (-1..1), density in A (0..1)
uniform sampler2D eyeSampleTexture;  // image accumulated so far
uniform sampler2D noiseTexture;      // jitter along the ray, 0..1
uniform sampler2D trfunc_texture2d;  // (front density, back density) -> colour, sqrt(opacity)

uniform mat4 invM;
uniform float divRefByCurSamplingRate;
uniform vec2 texSize;
uniform int sliceStack;
uniform vec2 nearFar;
uniform vec3 lightPos;
uniform vec3 lightColor;
uniform float trfunc_delta;

// Gradients shorter than this (about a density step of 3 of 127 over two voxels) carry no
// usable normal; the slab is then shown unlit.
const float unlitGradient = 0.02;
const float litGradient = 0.08;
const float ambient = 0.35;
const float specularStrength = 0.25;

const float quantisationStep = 1.0 / 255.0;

bool insideVolume(vec3 local) {
    return all(lessThanEqual(abs(local), vec3(1.0)));
}

// The accumulated image, blurred by four diagonal taps `offset` pixels out on both axes. `uv`
// is a texel centre, so with bilinear filtering the taps average the 3 x 3 (or wider)
// neighbourhood with exactly the variance the vertex stage asked for. Explicit level 0 here and
// for the volume: no texture has mipmaps, and implicit derivatives inside the per-pixel
// branches below would be undefined.
vec4 blurredAccumulation(vec2 uv, float offset) {
    vec2 texel = offset / texSize;
    vec4 sum = textureLod(eyeSampleTexture, uv + texel * vec2(1.0, 1.0), 0.0);
    sum += textureLod(eyeSampleTexture, uv + texel * vec2(-1.0, 1.0), 0.0);
    sum += textureLod(eyeSampleTexture, uv + texel * vec2(1.0, -1.0), 0.0);
    sum += textureLod(eyeSampleTexture, uv + texel * vec2(-1.0, -1.0), 0.0);
    return sum * 0.25;
}

// Pre-integrated colour (premultiplied) of the slab from front density sf to back density sb.
vec4 classify(float sf, float sb) {
    vec2 coordinate = trfunc_delta + vec2(sf, sb) * (1.0 - 2.0 * trfunc_delta);
    vec4 entry = textureLod(trfunc_texture2d, coordinate, 0.0);
    float alpha = entry.a * entry.a;
    // The table holds the opacity of a slab at the reference rate; a non-positive or
    // undefined ratio (no rate) keeps it as it is.
    float k = divRefByCurSamplingRate;
    if (k != 1.0 && k > 0.0 && k < 1e30) alpha = 1.0 - pow(max(1.0 - alpha, 0.0), k);
    return vec4(entry.rgb * alpha, alpha);
}

// Blinn-Phong with the normal against the gradient, two-sided, with an ambient floor.
vec3 shade(vec3 colour, vec3 gradient, vec3 position, vec3 toEye) {
    float lit = smoothstep(unlitGradient, litGradient, length(gradient));
    if (lit <= 0.0) return colour;
    vec3 normal = -normalize(gradientToNormal * gradient);
    if (dot(normal, toEye) < 0.0) normal = -normal;
    vec3 toLight = lightIsDirection > 0.5 ? lightDirection : normalize(lightPos - position);
    float diffuse = max(dot(normal, toLight), 0.0);
    float highlight = max(dot(normal, normalize(toLight + toEye)), 0.0);
    highlight *= highlight;
    highlight *= highlight;
    highlight *= highlight;
    highlight *= highlight;  // exponent 16
    vec3 litColour = (colour * (ambient + (1.0 - ambient) * diffuse) + specularStrength * highlight) * lightColor;
    return mix(colour, litColour, lit);
}

void main() {
    // The blur only acts on one slice in eight; on the others the offset is 0 and the four
    // taps fall on the pixel's own texel centre, which returns it unchanged. One path for both:
    // a software rasteriser runs both sides of a branch whatever the condition.
    vec4 accumulated = blurredAccumulation(gl_FragCoord.xy / texSize, blurOffset);

    vec3 ray = rayOrigin + rayPerPixel * gl_FragCoord.xy;
    float inverseLength = inversesqrt(dot(ray, ray));
    vec3 rayDirection = ray * inverseLength;
    vec4 slab = vec4(0.0);
    float dither = 0.0;
    float cosine = -dot(rayDirection, towardEye);
    if (cosine > 1e-4) {
        float t = eyeToSlice / cosine;
        vec3 localDirection = (localRayOrigin + localRayPerPixel * gl_FragCoord.xy) * inverseLength;
        vec3 sliceLocal = eyeLocal + t * localDirection;
        if (t >= nearFar.x && t <= nearFar.y && insideVolume(sliceLocal)) {
            // Jitter the sample along the ray by up to one slice so rings turn into grain; the
            // noise is read texel by texel, wrapped by hand (in floats: integer remainders are
            // slow on vector units).
            vec2 noiseTexel = floor(gl_FragCoord.xy) + noiseShift;
            noiseTexel -= noiseExtent * floor(noiseTexel / noiseExtent);
            noiseTexel = clamp(noiseTexel, vec2(0.0), noiseExtent - 1.0);
            float jitter = texelFetch(noiseTexture, ivec2(noiseTexel), 0).r;
            float alongRay = spacing / cosine;
            vec3 frontLocal = sliceLocal + (jitter * alongRay) * localDirection;
            vec3 backLocal = frontLocal + alongRay * localDirection;
            vec4 frontSample = textureLod(VolumeTexture, frontLocal * 0.5 + 0.5, 0.0);
            float frontDensity = clamp(frontSample.a, 0.0, 1.0);
            // The density one slice further. A slab up to about a voxel long takes it from the
            // gradient (half the central difference per voxel), one volume read instead of two;
            // a longer one reads it, as the same branch for the whole slice. The box ends in
            // empty space.
            float backDensity = 0.0;
            if (insideVolume(backLocal)) {
                if (readBackSample > 0.5) {
                    backDensity = clamp(textureLod(VolumeTexture, backLocal * 0.5 + 0.5, 0.0).a, 0.0, 1.0);
                } else {
                    vec3 voxelStep = (backLocal - frontLocal) * gradientScale;
                    backDensity = clamp(frontDensity + 0.5 * dot(frontSample.rgb, voxelStep), 0.0, 1.0);
                }
            }
            slab = classify(frontDensity, backDensity);
            if (slab.a > 0.0) {
                vec3 front = eyeWorld + (t + jitter * alongRay) * rayDirection;
                slab.rgb = shade(slab.rgb / slab.a, frontSample.rgb, front, -rayDirection) * slab.a;
                dither = fract(jitter + ditherPhase) - 0.5;
            }
        }
    }

    vec4 result = sliceStack == 0 ? slab + (1.0 - slab.a) * accumulated
                                  : accumulated + (1.0 - accumulated.a) * slab;
    // Dither below one 8-bit step so faint slabs add up on average instead of rounding away;
    // where nothing was added the result is an exact 8-bit value and stays as it is.
    fragColor = clamp(result + dither * quantisationStep, 0.0, 1.0);
}
