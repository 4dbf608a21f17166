// A stand-in environment until the real image-based one is in: a grey-blue sky above a warm
// ground, the split-sum table by an analytic fit, and a fixed sun as the main light. Effects take
// it with `shared "environment_light.glsl";`. All directions are unit and in world space, y up.

uniform vec3 EnvironmentSky = vec3(0.50, 0.58, 0.72);
uniform vec3 EnvironmentGround = vec3(0.30, 0.24, 0.18);
uniform vec3 EnvironmentSunDirection = vec3(-0.5, 0.6, 0.62449980);  // towards the sun
uniform vec3 EnvironmentSunColor = vec3(2.6, 2.45, 2.25);

// The sky's radiance along d: a soft horizon between ground and sky.
vec3 EnvironmentRadiance(vec3 d) { return mix(EnvironmentGround, EnvironmentSky, smoothstep(-0.35, 0.65, d.y)); }

// Irradiance over pi around n. For a sky of one radiance above and another below, the share of
// the cosine lobe that sees the sky is (1 + n.y) / 2.
vec3 EnvironmentDiffuse(vec3 n) { return mix(EnvironmentGround, EnvironmentSky, 0.5 + 0.5 * n.y); }

// The horizon widens with roughness until, fully rough, the lobe sees what the diffuse does.
vec3 EnvironmentSpecular(vec3 r, float roughness) {
  float width = roughness * roughness;
  vec3 sharp = mix(EnvironmentGround, EnvironmentSky, smoothstep(-0.35 - width, 0.65 + width, r.y));
  return mix(sharp, EnvironmentDiffuse(r), width);
}

// A fit of the GGX split-sum table (scale, bias) in nDotV and roughness.
vec2 EnvironmentBrdf(float nDotV, float roughness) {
  vec4 r = roughness * vec4(-1.0, -0.0275, -0.572, 0.022) + vec4(1.0, 0.0425, 1.04, -0.04);
  float a = min(r.x * r.x, exp2(-9.28 * nDotV)) * r.x + r.y;
  return vec2(-1.04, 1.04) * a + r.zw;
}

vec3 EnvironmentMainLightDirection() { return EnvironmentSunDirection; }
vec3 EnvironmentMainLightColor() { return EnvironmentSunColor; }
