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

// The blend rules, shared with the texture bake of exported assets.
shared "aged_look.glsl";

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
  float Mask(sampler2D mask, vec2 uv, float factor) { return MaskAmount(texture(mask, uv).r, factor); }

  // What the two materials give at a point: colours, and their normal maps' slopes as object-space
  // directions across the surface.
  struct MaterialSample {
    vec3 baseColor;
    vec3 baseSlope;
    vec3 patinaColor;
    vec3 patinaSlope;
  };

  // One side of the projection: its texture coordinates and their screen gradients, and the
  // object directions its u and v run along.
  struct Side {
    vec2 uv;
    vec2 dx;
    vec2 dy;
    vec3 alongU;
    vec3 alongV;
  };

  Side SideAlong(int axis, vec3 p, vec3 dx, vec3 dy) {
    return Side(SideCoordinates(axis, p), SideCoordinates(axis, dx), SideCoordinates(axis, dy), SideAlongU(axis),
                SideAlongV(axis));
  }

  vec3 Slope(sampler2D map, Side side) {
    vec2 slope = textureGrad(map, side.uv, side.dx, side.dy).xy * 2.0 - 1.0;
    return side.alongU * slope.x + side.alongV * slope.y;
  }

  // A fixed pattern of thresholds in [0, 1) on the screen, finer than the material's grain.
  float Dither(vec2 pixel) { return fract(52.9829189 * fract(dot(pixel, vec2(0.06711056, 0.00583715)))); }

  // Each pixel reads one side: a texture read costs the software rasteriser as much as all the
  // lighting, and it runs both ways of a branch, so blending sides would read them all. Where
  // sides are close to equal the pixel picks one at random in proportion to their weights, which
  // blends them on average and keeps the seam from showing as a line. The gradients are the chosen
  // side's own: implicit ones would jump where neighbouring pixels chose differently.
  // dx, dy: how p changes to the next pixel across and down.
  MaterialSample SampleMaterials(vec3 p, vec3 dx, vec3 dy, vec2 pixel, vec3 normal, bool textured) {
    vec3 w = SideWeights(normal);
    float pick = Dither(pixel) * (w.x + w.y + w.z);
    int axis = pick < w.x ? 0 : (pick < w.x + w.y ? 1 : 2);
    Side side = SideAlong(axis, p, dx, dy);
    MaterialSample m = MaterialSample(vec3(0.0), vec3(0.0), vec3(0.0), vec3(0.0));
    if (textured) {
      m.baseColor = textureGrad(BaseDiffuse, side.uv, side.dx, side.dy).rgb;
      m.baseSlope = Slope(BaseNrm, side);
    }
    m.patinaColor = textureGrad(RustDiffuse, side.uv, side.dx, side.dy).rgb;
    m.patinaSlope = Slope(RustNrm, side);
    return m;
  }

  vec3 Environment(vec3 direction) { return mix(kGround, kSky, smoothstep(-0.35, 0.65, direction.y)); }

  // Lambert plus Blinn-Phong from one light; specularColor already holds Ks.
  vec3 OneLight(vec3 toLight, vec3 toEye, vec3 normal, vec3 albedo, vec3 specularColor, float shininess) {
    float lambert = max(dot(normal, toLight), 0.0);
    float highlight = lambert > 0.0 ? pow(max(dot(normal, normalize(toLight + toEye)), 0.0), shininess) : 0.0;
    return albedo * lambert + specularColor * (highlight * (shininess + 8.0) / 24.0);
  }

  // Both lights, an ambient from the environment and its reflection.
  vec3 Light(vec3 toEye, vec3 toLightMain, vec3 toLightFill, vec3 normal, vec3 albedo, vec3 ambient,
             vec3 specularColor, float shininess, float mirror) {
    vec3 result = ambient * albedo * Environment(normal);
    result += g_vLightColor * OneLight(toLightMain, toEye, normal, albedo, specularColor, shininess);
    result += (g_vLightColor * kFillTint) * OneLight(toLightFill, toEye, normal, albedo, specularColor, shininess);
    float facing = max(dot(normal, toEye), 0.0);
    float grazing = (1.0 - facing) * (1.0 - facing);
    float fresnel = 0.35 + 0.65 * grazing * grazing;
    return result + mirror * fresnel * specularColor * Environment(reflect(-toEye, normal));
  }

  // What ShadedVertex hands on, and the screen gradients of objectPosition (this code is in front
  // of the vertex stages too, where there are none).
  struct ShadedInput {
    vec3 worldPosition;
    vec2 uv;
    vec3 objectPosition;
    vec3 objectNormal;
    vec3 toLightMain;
    vec3 toLightFill;
    vec3 dx;
    vec3 dy;
    vec2 pixel;  // gl_FragCoord.xy
  };

  // The aged surface. textured: the base material comes from BaseDiffuse / BaseNrm, else from
  // the material's own colours on the geometric normal. specular: with highlights.
  vec4 AgedSurface(ShadedInput i, bool textured, bool specular) {
    vec2 uv = i.uv;
    float patina = PatinaCover(texture(RustMask, uv).r, RustFactor);
    float dirt = DirtCover(texture(DirtMask, uv).r, DirtFactor);

    vec3 normal = normalize(i.objectNormal);
    MaterialSample m = SampleMaterials(i.objectPosition, i.dx, i.dy, i.pixel, normal, textured);
    vec3 baseColor = textured ? m.baseColor : g_vMaterialDiffuse;
    // g_mWorld is a rotation plus a move: its upper 3 x 3 turns directions.
    normal = mat3(g_mWorld) * AgedNormal(normal, BronzeSlope(m.baseSlope), m.patinaSlope, patina, Bump);

    // Bronze is a metal: a dim, deeper diffuse and highlights and reflections in its own colour.
    // Verdigris is a matte mineral crust.
    // c^1.25 as c * c^0.25: two square roots cost the rasteriser far less than a pow.
    vec3 bronze = baseColor * sqrt(sqrt(baseColor)) * 0.8;
    vec3 albedo = AgedColor(bronze, m.patinaColor, patina, dirt, DirtColor);
    vec3 metalSpecular = textured ? mix(vec3(1.0), baseColor * 1.9, 0.65) : g_vMaterialSpecular * 2.0;
    vec3 specularColor = mix(metalSpecular, vec3(0.12), patina);
    float shininess = mix(float(max(g_nMaterialShininess, 1)), 10.0, patina);

    // Dirt dulls the highlights too.
    specularColor *= (specular ? Ks : 0.0) * (1.0 - 0.85 * dirt);
    float mirror = AgedMetalShare(patina, dirt) * 1.6;

    vec3 ambient = max(g_vMaterialAmbient * 2.5, vec3(0.25));
    vec3 toEye = normalize(g_vCameraPosition - i.worldPosition);
    vec3 color = Light(toEye, i.toLightMain, i.toLightFill, normal, albedo, ambient, specularColor, shininess, mirror);
    return vec4(color, g_fMaterialAlpha);
  }

  // One mask in grey on the model (white = full), lit just enough to show the shape. The
  // square root lifts the faint traces of a short run out of the dark.
  vec4 MaskView(vec3 position, vec3 normal, vec2 uv, sampler2D mask, float factor) {
    float amount = sqrt(Mask(mask, uv, factor));
    vec3 color = mix(vec3(0.06), vec3(1.0), amount);
    vec3 toLight = normalize(g_vLightPositionMain - position);
    float lambert = max(dot(normalize(normal), toLight), 0.0);
    return vec4(color * (0.45 + 0.55 * lambert), 1.0);
  }
}

// The mask views need only the position, the normal and the texture coordinates.
vertex MeshVertex {
  in vec4 POSITION;  // w overlaps the texture coordinate: only x, y, z are the position
  in vec2 TEXCOORD;
  in vec4 NORMAL;
  in vec4 TANGENT;
  in vec4 BINORMAL;
  out vec3 worldPosition;
  out vec2 uv;
  out vec3 worldNormal;

  void main() {
    vec4 world = g_mWorld * vec4(POSITION.xyz, 1.0);
    worldPosition = world.xyz;
    uv = TEXCOORD;
    worldNormal = mat3(g_mWorld) * NORMAL.xyz;
    gl_Position = g_mWorldViewProjection * world;
  }
}

// The aged surface reads its materials in object space and lights in world space. The lights
// stand twenty radii away, so their directions barely turn across a triangle: they are worked out
// per vertex. The material projection does its own normal mapping, so tangents are not needed.
vertex ShadedVertex {
  in vec4 POSITION;
  in vec2 TEXCOORD;
  in vec4 NORMAL;
  in vec4 TANGENT;
  in vec4 BINORMAL;
  out vec3 worldPosition;
  out vec2 uv;
  out vec3 objectPosition;  // in material repeats
  out vec3 objectNormal;
  out vec3 toLightMain;
  out vec3 toLightFill;

  void main() {
    vec4 world = g_mWorld * vec4(POSITION.xyz, 1.0);
    worldPosition = world.xyz;
    uv = TEXCOORD;
    objectPosition = POSITION.xyz * kMaterialScale;
    objectNormal = NORMAL.xyz;
    toLightMain = normalize(g_vLightPositionMain - world.xyz);
    toLightFill = normalize(g_vLightPositionFill - world.xyz);
    gl_Position = g_mWorldViewProjection * world;
  }
}

fragment TexturedSpecularPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 objectPosition;
  in vec3 objectNormal;
  in vec3 toLightMain;
  in vec3 toLightFill;
  out vec4 color;
  void main() {
    color = AgedSurface(ShadedInput(worldPosition, uv, objectPosition, objectNormal, toLightMain, toLightFill,
                                    dFdx(objectPosition), dFdy(objectPosition), gl_FragCoord.xy),
                       true, true);
  }
}

fragment TexturedNoSpecularPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 objectPosition;
  in vec3 objectNormal;
  in vec3 toLightMain;
  in vec3 toLightFill;
  out vec4 color;
  void main() {
    color = AgedSurface(ShadedInput(worldPosition, uv, objectPosition, objectNormal, toLightMain, toLightFill,
                                    dFdx(objectPosition), dFdy(objectPosition), gl_FragCoord.xy),
                       true, false);
  }
}

fragment SpecularPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 objectPosition;
  in vec3 objectNormal;
  in vec3 toLightMain;
  in vec3 toLightFill;
  out vec4 color;
  void main() {
    color = AgedSurface(ShadedInput(worldPosition, uv, objectPosition, objectNormal, toLightMain, toLightFill,
                                    dFdx(objectPosition), dFdy(objectPosition), gl_FragCoord.xy),
                       false, true);
  }
}

fragment NoSpecularPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 objectPosition;
  in vec3 objectNormal;
  in vec3 toLightMain;
  in vec3 toLightFill;
  out vec4 color;
  void main() {
    color = AgedSurface(ShadedInput(worldPosition, uv, objectPosition, objectNormal, toLightMain, toLightFill,
                                    dFdx(objectPosition), dFdy(objectPosition), gl_FragCoord.xy),
                       false, false);
  }
}

fragment DirtPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 worldNormal;
  out vec4 color;
  void main() { color = MaskView(worldPosition, worldNormal, uv, DirtMask, DirtFactor); }
}

fragment RustPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 worldNormal;
  out vec4 color;
  void main() { color = MaskView(worldPosition, worldNormal, uv, RustMask, RustFactor); }
}

state Solid {
  blend = off;
  depth_test = less_equal;
  depth_write = on;
  cull = none;
}

technique Shaded {
  pass P0 { vertex = ShadedVertex; fragment = TexturedSpecularPixel; state = Solid; }
}

technique Dirt {
  pass P0 { vertex = MeshVertex; fragment = DirtPixel; state = Solid; }
}

technique Rust {
  pass P0 { vertex = MeshVertex; fragment = RustPixel; state = Solid; }
}

technique TexturedSpecular {
  pass P0 { vertex = ShadedVertex; fragment = TexturedSpecularPixel; state = Solid; }
}

technique TexturedNoSpecular {
  pass P0 { vertex = ShadedVertex; fragment = TexturedNoSpecularPixel; state = Solid; }
}

technique Specular {
  pass P0 { vertex = ShadedVertex; fragment = SpecularPixel; state = Solid; }
}

technique NoSpecular {
  pass P0 { vertex = ShadedVertex; fragment = NoSpecularPixel; state = Solid; }
}
