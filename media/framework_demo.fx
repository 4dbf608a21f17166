// The framework demo's cube: vertex colours lit by one directional light.
// Matrices are row-vector (v * M, translation in row 3) as the math module makes them; GLSL
// code writes them as M * v (see docs/effects.md).
//   g_mWorld               the cube's world matrix (turns its normals)
//   g_mWorldViewProjection world * view * projection, the whole transform of a position
//   g_vLightDir            world-space direction from the surface towards the light
//   g_fTime                seconds since start; makes the light breathe a little

shared {
  uniform mat4 g_mWorld;
  uniform mat4 g_mWorldViewProjection;
  uniform vec3 g_vLightDir = vec3(0.0, 0.0, -1.0);
  uniform float g_fTime;
}

vertex LitVertex {
  in vec3 POSITION;
  in vec3 NORMAL;
  in vec4 COLOR;
  out vec4 litColor;

  void main() {
    gl_Position = g_mWorldViewProjection * vec4(POSITION, 1.0);
    vec3 normal = normalize(mat3(g_mWorld) * NORMAL);
    float diffuse = max(dot(normal, normalize(g_vLightDir)), 0.0);
    float strength = 0.85 + 0.15 * sin(g_fTime * 2.0);
    litColor = vec4(COLOR.rgb * (0.25 + 0.75 * diffuse * strength), COLOR.a);
  }
}

fragment VertexColor {
  in vec4 litColor;
  out vec4 fragmentColor;

  void main() { fragmentColor = litColor; }
}

technique Render {
  pass P0 {
    vertex = LitVertex;
    fragment = VertexColor;
    blend = off;
    depth_test = less_equal;
    depth_write = on;
    cull = none;
  }
}
