// The surface samples as round points of a few pixels. The vertex colour is the sample's dirt as
// grey (d, d, d): shown as it is, every clean sample, and so the whole model before a run, would
// be black. The grey is laid instead on a ramp from bare bronze (clean) to near white (full dirt),
// so brighter still means dirtier, as in the Dirt view.
// Each point is lit by the main light on its normal (Lambert, with a little ambient) so that the
// cloud reads as a surface: unlit, thousands of points of one colour make a flat silhouette.
// Matrices are row-vector (v * M) as the math module makes them; GLSL writes them as M * v
// (see docs/effects.md).
//   g_mWorld                the model's rotation; applied here, not part of the next one
//   g_mWorldViewProjection  view * projection
//   g_vLightPositionMain    the main light, in world space

shared {
  uniform mat4 g_mWorld;
  uniform mat4 g_mWorldViewProjection;
  uniform vec3 g_vLightPositionMain = vec3(-20.0, 20.0, 20.0);

  const float kPointPixels = 4.0;
  const float kAmbient = 0.25;
  const vec3 kClean = vec3(0.70, 0.50, 0.30);
  const vec3 kFullDirt = vec3(0.95, 0.93, 0.88);
}

vertex PointVertex {
  in vec3 POSITION;
  in vec3 NORMAL;
  in vec4 COLOR;
  out vec4 pointColor;

  void main() {
    vec4 world = g_mWorld * vec4(POSITION, 1.0);
    vec3 normal = normalize((g_mWorld * vec4(NORMAL, 0.0)).xyz);
    float lambert = max(dot(normal, normalize(g_vLightPositionMain - world.xyz)), 0.0);
    vec3 albedo = mix(kClean, kFullDirt, COLOR.rgb);
    pointColor = vec4(albedo * (kAmbient + (1.0 - kAmbient) * lambert), COLOR.a);
    gl_Position = g_mWorldViewProjection * world;
    gl_PointSize = kPointPixels;
  }
}

fragment RoundPoint {
  in vec4 pointColor;
  out vec4 color;

  void main() {
    vec2 offset = gl_PointCoord * 2.0 - 1.0;
    if (dot(offset, offset) > 1.0) discard;
    color = pointColor;
  }
}

technique PointColor {
  pass P0 {
    vertex = PointVertex;
    fragment = RoundPoint;
    blend = off;
    depth_test = less_equal;
    depth_write = on;
    cull = none;
  }
}
