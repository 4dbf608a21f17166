// The environment behind the model: one triangle over the whole target, each pixel looking out
// along the direction the camera sees through it, tone mapped as the model is.
//   g_mEnvironmentInverseViewProjection  the inverse of view * projection (row-vector, as set)
//   g_vEnvironmentEye                    the camera's position in world space

shared "environment_light.glsl";

shared {
  uniform mat4 g_mEnvironmentInverseViewProjection;
  uniform vec3 g_vEnvironmentEye;
}

vertex FullScreen {
  out vec2 clip;
  void main() {
    clip = vec2(gl_VertexID == 1 ? 3.0 : -1.0, gl_VertexID == 2 ? 3.0 : -1.0);
    gl_Position = vec4(clip, 0.5, 1.0);
  }
}

fragment Background {
  in vec2 clip;
  out vec4 color;
  void main() {
    vec4 far = g_mEnvironmentInverseViewProjection * vec4(clip, 1.0, 1.0);
    vec3 d = normalize(far.xyz / far.w - g_vEnvironmentEye);
    color = vec4(ToneMapped(EnvironmentRadiance(d)), 1.0);
  }
}

technique Background {
  pass P0 {
    vertex = FullScreen;
    fragment = Background;
    blend = off;
    depth_test = off;
    depth_write = off;
    cull = none;
  }
}
