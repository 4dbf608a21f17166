// The model: a bronze base material that a verdigris patina takes over where the rust mask is,
// darkened where the dirt mask is. Vertices are the device mesh's 68-byte format.
// Matrices are row-vector (v * M) as the math module makes them; GLSL writes them as M * v
// (see docs/effects.md). Positions, lights and the camera are in world space.
//   g_mWorld                the model's rotation; applied here, not part of the next one
//   g_mWorldViewProjection  view * projection
//   Bump                    strength of the normal maps (0 = flat, 1 = as drawn)
//   Ks                      strength of the highlight
//   DirtColor               what full dirt leaves of the surface's brightness
//   DirtFactor, RustFactor  how much of each mask shows (0 to 1)
// A mask that is not bound reads 0 in its red channel: no patina, no dirt.

shared {
  uniform mat4 g_mWorld;
  uniform mat4 g_mWorldViewProjection;
  uniform vec3 g_vCameraPosition = vec3(0.0, 0.0, -4.0);
  uniform vec3 g_vLightPositionMain = vec3(-20.0, 20.0, -20.0);
  uniform vec3 g_vLightPositionFill = vec3(20.0, 0.0, 0.0);
  uniform vec3 g_vLightColor = vec3(1.0, 0.95, 0.88);

  uniform vec3 g_vMaterialAmbient = vec3(0.2, 0.2, 0.2);
  uniform vec3 g_vMaterialDiffuse = vec3(0.8, 0.8, 0.8);
  uniform vec3 g_vMaterialSpecular = vec3(0.5, 0.5, 0.5);
  uniform float g_fMaterialAlpha = 1.0;
  uniform int g_nMaterialShininess = 50;

  uniform sampler2D BaseDiffuse;
  uniform sampler2D BaseNrm;
  uniform sampler2D RustDiffuse;
  uniform sampler2D RustNrm;
  uniform sampler2D RustMask;
  uniform sampler2D DirtMask;

  uniform float DirtColor = 0.3;
  uniform float Ks = 0.4;
  uniform float Bump = 1.0;
  uniform float DirtFactor = 1.0;
  uniform float RustFactor = 1.0;

  // The fill light is a weaker, cooler bounce from the side.
  const vec3 kFillTint = vec3(0.30, 0.34, 0.40);
  // Sky above, warm ground below: the light the surface gets from everywhere else, and what a
  // polished metal mirrors.
  const vec3 kSky = vec3(0.66, 0.72, 0.82);
  const vec3 kGround = vec3(0.30, 0.25, 0.20);
  // The masks are thin after a few steps: a saturating ramp shows light traces clearly and
  // lets heavy ones cover the metal completely (mask 1 still gives exactly 1).
  const float kRustGain = 10.0;
  const float kDirtGain = 6.0;
  // The cast metal is smoother than the crust that grows on it.
  const float kBaseRelief = 0.45;

  struct Frame {
    vec3 position;
    vec3 normal;
    vec3 tangent;
    vec3 binormal;
  };

  float Mask(sampler2D mask, vec2 uv, float factor) { return clamp(texture(mask, uv).r * factor, 0.0, 1.0); }

  float Ramp(float amount, float gain) { return (1.0 - exp(-gain * amount)) / (1.0 - exp(-gain)); }

  // A tangent-space normal map texel turned into a world-space normal, its slope scaled.
  vec3 MappedNormal(sampler2D map, vec2 uv, Frame frame, float strength) {
    vec3 n = texture(map, uv).xyz * 2.0 - 1.0;
    n.xy *= strength;
    n = normalize(vec3(n.xy, max(n.z, 0.05)));
    return normalize(frame.tangent * n.x + frame.binormal * n.y + frame.normal * n.z);
  }

  // The material textures are laid over the model in object space from three sides, blended by
  // the normal: the atlas' charts are packed at their own turns, so sampling the material by
  // texture coordinates breaks its grain at every chart border. The masks, baked in texture
  // space, still go by the texture coordinates. kMaterialScale: repeats per unit, about the
  // atlas' own texel density.
  const float kMaterialScale = 0.25;

  struct Triplanar {
    vec2 uvX;  // seen along x: u runs along z, v along y
    vec2 uvY;  // along y: u along x, v along z
    vec2 uvZ;  // along z: u along x, v along y
    vec3 weights;
    mat3 toWorld;  // object directions to world ones
  };

  Triplanar MakeTriplanar(vec3 worldPosition, vec3 worldNormal) {
    Triplanar t;
    t.toWorld = mat3(g_mWorld);
    // g_mWorld is a rotation plus a move: its transpose turns back.
    vec3 p = transpose(t.toWorld) * (worldPosition - g_mWorld[3].xyz) * kMaterialScale;
    vec3 n = transpose(t.toWorld) * worldNormal;
    t.uvX = p.zy;
    t.uvY = p.xz;
    t.uvZ = p.xy;
    vec3 w = pow(abs(n), vec3(4.0));
    t.weights = w / max(w.x + w.y + w.z, 1e-6);
    return t;
  }

  vec3 TriplanarColor(sampler2D map, Triplanar t) {
    return texture(map, t.uvX).rgb * t.weights.x + texture(map, t.uvY).rgb * t.weights.y +
           texture(map, t.uvZ).rgb * t.weights.z;
  }

  // Each side's normal map slopes the normal along the object directions its u and v run.
  vec3 TriplanarNormal(sampler2D map, Triplanar t, vec3 normal, float strength) {
    vec2 sx = (texture(map, t.uvX).xy * 2.0 - 1.0) * strength;
    vec2 sy = (texture(map, t.uvY).xy * 2.0 - 1.0) * strength;
    vec2 sz = (texture(map, t.uvZ).xy * 2.0 - 1.0) * strength;
    vec3 slope = t.weights.x * vec3(0.0, sx.y, sx.x) + t.weights.y * vec3(sy.x, 0.0, sy.y) +
                 t.weights.z * vec3(sz.x, sz.y, 0.0);
    vec3 worldSlope = t.toWorld * slope;
    // Only the part across the surface tilts it.
    worldSlope -= normal * dot(normal, worldSlope);
    return normalize(normal + worldSlope);
  }

  vec3 Environment(vec3 direction) { return mix(kGround, kSky, smoothstep(-0.35, 0.65, direction.y)); }

  // Lambert plus Blinn-Phong from both lights, an ambient from the environment and its
  // reflection; specularColor already holds Ks.
  vec3 Light(vec3 position, vec3 normal, vec3 albedo, vec3 ambient, vec3 specularColor, float shininess,
             float mirror) {
    vec3 toEye = normalize(g_vCameraPosition - position);
    vec3 result = ambient * albedo * Environment(normal);
    vec3 lights[2] = vec3[2](g_vLightPositionMain, g_vLightPositionFill);
    vec3 colors[2] = vec3[2](g_vLightColor, g_vLightColor * kFillTint);
    for (int i = 0; i < 2; ++i) {
      vec3 toLight = normalize(lights[i] - position);
      float lambert = max(dot(normal, toLight), 0.0);
      vec3 halfway = normalize(toLight + toEye);
      float highlight = lambert > 0.0 ? pow(max(dot(normal, halfway), 0.0), shininess) : 0.0;
      result += colors[i] * (albedo * lambert + specularColor * highlight * (shininess + 8.0) / 24.0);
    }
    float facing = max(dot(normal, toEye), 0.0);
    float fresnel = 0.35 + 0.65 * pow(1.0 - facing, 4.0);
    result += mirror * fresnel * specularColor * Environment(reflect(-toEye, normal));
    return result;
  }

  // The aged surface. textured: the base material comes from BaseDiffuse / BaseNrm, else from
  // the material's own colours on the geometric normal. specular: with highlights.
  vec4 AgedSurface(Frame frame, vec2 uv, bool textured, bool specular) {
    float patina = Ramp(Mask(RustMask, uv, RustFactor), kRustGain);
    float dirt = Ramp(Mask(DirtMask, uv, DirtFactor), kDirtGain);

    Triplanar material = MakeTriplanar(frame.position, frame.normal);
    vec3 baseColor = textured ? TriplanarColor(BaseDiffuse, material) : g_vMaterialDiffuse;
    vec3 baseNormal = textured ? TriplanarNormal(BaseNrm, material, frame.normal, Bump * kBaseRelief) : frame.normal;
    vec3 patinaColor = TriplanarColor(RustDiffuse, material);
    vec3 patinaNormal = TriplanarNormal(RustNrm, material, frame.normal, Bump);

    vec3 normal = normalize(mix(baseNormal, patinaNormal, patina));
    // Bronze is a metal: a dim, deeper diffuse and highlights and reflections in its own colour.
    // Verdigris is a matte mineral crust.
    vec3 bronze = pow(baseColor, vec3(1.25)) * 0.8;
    vec3 albedo = mix(bronze, patinaColor * 1.2, patina);
    vec3 metalSpecular = textured ? mix(vec3(1.0), baseColor * 1.9, 0.65) : g_vMaterialSpecular * 2.0;
    vec3 specularColor = mix(metalSpecular, vec3(0.12), patina);
    float shininess = mix(float(max(g_nMaterialShininess, 1)), 10.0, patina);

    // Dirt darkens towards DirtColor of the surface's brightness, a little brown, and dulls it.
    vec3 dirtTint = DirtColor * vec3(1.0, 0.88, 0.74);
    albedo = mix(albedo, albedo * dirtTint, dirt);
    specularColor *= (specular ? Ks : 0.0) * (1.0 - 0.85 * dirt);
    float mirror = (1.0 - patina) * (1.0 - 0.7 * dirt) * 1.6;

    vec3 ambient = max(g_vMaterialAmbient * 2.5, vec3(0.25));
    return vec4(Light(frame.position, normal, albedo, ambient, specularColor, shininess, mirror), g_fMaterialAlpha);
  }

  // One mask in grey on the model (white = full), lit just enough to show the shape. The
  // square root lifts the faint traces of a short run out of the dark.
  vec4 MaskView(Frame frame, vec2 uv, sampler2D mask, float factor) {
    float amount = sqrt(Mask(mask, uv, factor));
    vec3 color = mix(vec3(0.06), vec3(1.0), amount);
    vec3 toLight = normalize(g_vLightPositionMain - frame.position);
    float lambert = max(dot(frame.normal, toLight), 0.0);
    return vec4(color * (0.45 + 0.55 * lambert), 1.0);
  }
}

vertex MeshVertex {
  in vec4 POSITION;  // w overlaps the texture coordinate: only x, y, z are the position
  in vec2 TEXCOORD;
  in vec4 NORMAL;
  in vec4 TANGENT;
  in vec4 BINORMAL;
  out vec3 worldPosition;
  out vec2 uv;
  out vec3 worldNormal;
  out vec3 worldTangent;
  out vec3 worldBinormal;

  void main() {
    vec4 world = g_mWorld * vec4(POSITION.xyz, 1.0);
    worldPosition = world.xyz;
    uv = TEXCOORD;
    mat3 turn = mat3(g_mWorld);
    worldNormal = turn * NORMAL.xyz;
    worldTangent = turn * TANGENT.xyz;
    worldBinormal = turn * BINORMAL.xyz;
    gl_Position = g_mWorldViewProjection * world;
  }
}

// The interpolated frame, made orthonormal again around the normal.
shared {
  Frame MakeFrame(vec3 position, vec3 normal, vec3 tangent, vec3 binormal) {
    Frame frame;
    frame.position = position;
    frame.normal = normalize(normal);
    vec3 t = tangent - frame.normal * dot(frame.normal, tangent);
    frame.tangent = dot(t, t) > 1e-12 ? normalize(t) : vec3(0.0);
    float side = dot(cross(frame.normal, frame.tangent), binormal) < 0.0 ? -1.0 : 1.0;
    frame.binormal = side * cross(frame.normal, frame.tangent);
    return frame;
  }
}

fragment TexturedSpecularPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 worldNormal;
  in vec3 worldTangent;
  in vec3 worldBinormal;
  out vec4 color;
  void main() {
    color = AgedSurface(MakeFrame(worldPosition, worldNormal, worldTangent, worldBinormal), uv, true, true);
  }
}

fragment TexturedNoSpecularPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 worldNormal;
  in vec3 worldTangent;
  in vec3 worldBinormal;
  out vec4 color;
  void main() {
    color = AgedSurface(MakeFrame(worldPosition, worldNormal, worldTangent, worldBinormal), uv, true, false);
  }
}

fragment SpecularPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 worldNormal;
  in vec3 worldTangent;
  in vec3 worldBinormal;
  out vec4 color;
  void main() {
    color = AgedSurface(MakeFrame(worldPosition, worldNormal, worldTangent, worldBinormal), uv, false, true);
  }
}

fragment NoSpecularPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 worldNormal;
  in vec3 worldTangent;
  in vec3 worldBinormal;
  out vec4 color;
  void main() {
    color = AgedSurface(MakeFrame(worldPosition, worldNormal, worldTangent, worldBinormal), uv, false, false);
  }
}

fragment DirtPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 worldNormal;
  in vec3 worldTangent;
  in vec3 worldBinormal;
  out vec4 color;
  void main() {
    color = MaskView(MakeFrame(worldPosition, worldNormal, worldTangent, worldBinormal), uv, DirtMask, DirtFactor);
  }
}

fragment RustPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 worldNormal;
  in vec3 worldTangent;
  in vec3 worldBinormal;
  out vec4 color;
  void main() {
    color = MaskView(MakeFrame(worldPosition, worldNormal, worldTangent, worldBinormal), uv, RustMask, RustFactor);
  }
}

state Solid {
  blend = off;
  depth_test = less_equal;
  depth_write = on;
  cull = none;
}

technique Shaded {
  pass P0 { vertex = MeshVertex; fragment = TexturedSpecularPixel; state = Solid; }
}

technique Dirt {
  pass P0 { vertex = MeshVertex; fragment = DirtPixel; state = Solid; }
}

technique Rust {
  pass P0 { vertex = MeshVertex; fragment = RustPixel; state = Solid; }
}

technique TexturedSpecular {
  pass P0 { vertex = MeshVertex; fragment = TexturedSpecularPixel; state = Solid; }
}

technique TexturedNoSpecular {
  pass P0 { vertex = MeshVertex; fragment = TexturedNoSpecularPixel; state = Solid; }
}

technique Specular {
  pass P0 { vertex = MeshVertex; fragment = SpecularPixel; state = Solid; }
}

technique NoSpecular {
  pass P0 { vertex = MeshVertex; fragment = NoSpecularPixel; state = Solid; }
}
