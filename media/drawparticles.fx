// The surface samples as round points of a few pixels. The vertex colour is the sample's dirt as
// grey (d, d, d): shown as it is, every clean sample, and so the whole model before a run, would
// be black. The grey is laid instead on a ramp from bare bronze (clean) to near white (full dirt),
// so brighter still means dirtier, as in the Dirt view.
// Matrices are row-vector (v * M) as the math module makes them; GLSL writes them as M * v
// (see docs/effects.md).
//   g_mWorld                the model's rotation; applied here, not part of the next one
//   g_mWorldViewProjection  view * projection

shared {
  uniform mat4 g_mWorld;
  uniform mat4 g_mWorldViewProjection;

  const float kPointPixels = 4.0;
  const vec3 kClean = vec3(0.70, 0.50, 0.30);
  const vec3 kFullDirt = vec3(0.95, 0.93, 0.88);
}

vertex PointVertex {
  in vec3 POSITION;
  in vec4 COLOR;
  out vec4 pointColor;

  void main() {
    pointColor = vec4(mix(kClean, kFullDirt, COLOR.rgb), COLOR.a);
    gl_Position = g_mWorldViewProjection * (g_mWorld * vec4(POSITION, 1.0));
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
