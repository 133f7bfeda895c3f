#version 330 core
// One-dimensional Gaussian blur along x ("horizontal" 1) or y (0) over a Width x Height image;
// shared by the depth-of-field and the bloom blur.
in vec2 UV;

uniform sampler2D Tex0;
uniform int horizontal;
uniform int Width;
uniform int Height;

out vec4 FragColor;

// Weights of a Gaussian with sigma of about 2 pixels, centre tap first; they sum to 1.
const int kTaps = 5;
const float kWeights[kTaps] = float[](0.2270270270, 0.1945945946, 0.1216216216, 0.0540540541,
                                      0.0162162162);

void main() {
    vec2 step = horizontal != 0 ? vec2(1.0 / float(Width), 0.0) : vec2(0.0, 1.0 / float(Height));
    vec3 sum = texture(Tex0, UV).rgb * kWeights[0];
    for (int i = 1; i < kTaps; ++i) {
        sum += texture(Tex0, UV + step * float(i)).rgb * kWeights[i];
        sum += texture(Tex0, UV - step * float(i)).rgb * kWeights[i];
    }
    FragColor = vec4(sum, 1.0);
}
