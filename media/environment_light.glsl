// Image-based light from an HDR environment, set by Viewer::EnvironmentLight::SetOn, and the
// tone map every picture drawn under it goes through.
//
// Directions are in world space, y up. The environment is equirectangular: its centre column
// looks along +z, +x lies a quarter turn to the right of it, -z at its left and right edges, the
// top row straight up. g_fEnvironmentRotation turns the environment about y (radians, a
// positive angle takes +z towards +x) and g_fEnvironmentIntensity scales all its light.
//
// The brightest small source (the sun, the studio's key box, the glow behind the overcast) is
// held back in the maps to a few times the environment's mean radiance; what is above that
// arrives only through the punctual main light. Lambert diffuse is therefore
//   albedo * (EnvironmentDiffuse(n) + EnvironmentMainLightColor() * max(dot(n, l), 0) / pi)
// and neither part counts the sun twice.
//   g_EnvironmentSpecular       radiance prefiltered for GGX; lod = roughness * g_fEnvironmentSpecularLevels
//   g_EnvironmentBrdf           split-sum (scale, bias) by (nDotV, roughness)
//   g_vEnvironmentDiffuse0..8   irradiance / pi as spherical harmonics up to order 2

uniform sampler2D g_EnvironmentSpecular;
uniform sampler2D g_EnvironmentBrdf;
uniform float g_fEnvironmentSpecularLevels = 5.0;
uniform vec3 g_vEnvironmentDiffuse0, g_vEnvironmentDiffuse1, g_vEnvironmentDiffuse2, g_vEnvironmentDiffuse3,
    g_vEnvironmentDiffuse4, g_vEnvironmentDiffuse5, g_vEnvironmentDiffuse6, g_vEnvironmentDiffuse7,
    g_vEnvironmentDiffuse8;
uniform vec3 g_vEnvironmentLightDirection = vec3(0.0, 1.0, 0.0);
uniform vec3 g_vEnvironmentLightColor = vec3(0.0, 0.0, 0.0);
uniform float g_fEnvironmentIntensity = 1.0;
uniform float g_fEnvironmentRotation = 0.0;

const float kEnvironmentPi = 3.14159265358979;

// A world direction into the environment's own frame (turned back by the rotation).
vec3 EnvironmentFrame(vec3 d) {
  float c = cos(g_fEnvironmentRotation), s = sin(g_fEnvironmentRotation);
  return vec3(c * d.x - s * d.z, d.y, s * d.x + c * d.z);
}

vec2 EnvironmentCoordinates(vec3 d) {
  vec3 e = EnvironmentFrame(d);
  return vec2(0.5 + atan(e.x, -e.z) / (2.0 * kEnvironmentPi), acos(clamp(e.y, -1.0, 1.0)) / kEnvironmentPi);
}

vec3 EnvironmentDiffuse(vec3 n) {
  vec3 e = EnvironmentFrame(n);
  vec3 sum = g_vEnvironmentDiffuse0 * 0.282095
           + g_vEnvironmentDiffuse1 * (0.488603 * e.y)
           + g_vEnvironmentDiffuse2 * (0.488603 * e.z)
           + g_vEnvironmentDiffuse3 * (0.488603 * e.x)
           + g_vEnvironmentDiffuse4 * (1.092548 * e.x * e.y)
           + g_vEnvironmentDiffuse5 * (1.092548 * e.y * e.z)
           + g_vEnvironmentDiffuse6 * (0.315392 * (3.0 * e.z * e.z - 1.0))
           + g_vEnvironmentDiffuse7 * (1.092548 * e.x * e.z)
           + g_vEnvironmentDiffuse8 * (0.546274 * (e.x * e.x - e.y * e.y));
  return max(sum, vec3(0.0)) * g_fEnvironmentIntensity;
}

vec3 EnvironmentSpecular(vec3 r, float roughness) {
  float lod = clamp(roughness, 0.0, 1.0) * g_fEnvironmentSpecularLevels;
  return textureLod(g_EnvironmentSpecular, EnvironmentCoordinates(r), lod).rgb * g_fEnvironmentIntensity;
}

vec2 EnvironmentBrdf(float nDotV, float roughness) {
  // Texel centres only, so the table's edges are not blended with nothing.
  vec2 size = vec2(textureSize(g_EnvironmentBrdf, 0));
  vec2 uv = clamp(vec2(nDotV, roughness), 0.5 / size, 1.0 - 0.5 / size);
  return textureLod(g_EnvironmentBrdf, uv, 0.0).rg;
}

vec3 EnvironmentMainLightDirection() {
  vec3 l = g_vEnvironmentLightDirection;
  float c = cos(g_fEnvironmentRotation), s = sin(g_fEnvironmentRotation);
  return vec3(c * l.x + s * l.z, l.y, -s * l.x + c * l.z);
}

vec3 EnvironmentMainLightColor() { return g_vEnvironmentLightColor * g_fEnvironmentIntensity; }

// The environment itself along d, as the background shows it.
vec3 EnvironmentRadiance(vec3 d) {
  return textureLod(g_EnvironmentSpecular, EnvironmentCoordinates(d), 0.0).rgb * g_fEnvironmentIntensity;
}

// Khronos PBR Neutral: colours up to about 0.8 pass unchanged, brighter ones are compressed
// towards white with their hue kept; then the sRGB transfer curve for an 8-bit target.
vec3 ToneMapped(vec3 linear) {
  const float startCompression = 0.8 - 0.04;
  const float desaturation = 0.15;
  vec3 color = max(linear, vec3(0.0));
  float x = min(color.r, min(color.g, color.b));
  float offset = x < 0.08 ? x - 6.25 * x * x : 0.04;
  color -= offset;
  float peak = max(color.r, max(color.g, color.b));
  if (peak >= startCompression) {
    const float d = 1.0 - startCompression;
    float newPeak = 1.0 - d * d / (peak + d - startCompression);
    color *= newPeak / peak;
    float g = 1.0 - 1.0 / (desaturation * (peak - newPeak) + 1.0);
    color = mix(color, vec3(newPeak), g);
  }
  color = clamp(color, 0.0, 1.0);
  return mix(color * 12.92, 1.055 * pow(color, vec3(1.0 / 2.4)) - 0.055, step(0.0031308, color));
}
