// The model in its aged material, lit as glTF's metallic-roughness model is: the model's own
// material (or the chosen look's base where it has none) with the look's layers over it, each by
// its mask (rust, dirt or humidity), composed by the same rules as the export's texture bake
// (aged_look.glsl), so that the window shows what an export writes.
// Vertices are the device mesh's 68-byte format; TANGENT.w holds the frame's handedness. Groups
// with extras have the 100-byte format: TEXCOORD1 and TEXCOORD2 the raw texture coordinate sets
// (v downwards, as glTF's transforms take them), COLOR the vertex colour; the techniques named
// with "Extras" read them.
// Matrices are row-vector (v * M) as the math module makes them; GLSL writes them as M * v
// (see docs/effects.md). Positions, lights and the camera are in world space.
//   g_mWorld                the model's rotation; applied here, not part of the next one
//   g_mWorldViewProjection  view * projection
//   Bump                    strength of the normal maps (0 = flat, 1 = as drawn)
//   RustFactor, DirtFactor  how much of each mask shows in the mask views (0 to 1)
//   BaseDiffuse ... BaseHasMaps  the look's base on faces without a material of their own
//   LayerCount ... Layer3Normal  the look's layers (see below)
//   BaseColorMap ... EmissiveFactor  the model's own material, as glTF gives it; a missing map
//                           is bound as white (flat for NormalMap)
//   AlphaCutoff             pixels of the own material whose alpha is below it are not drawn
//   OpaqueAlpha             1 where the alpha is ignored (opaque, masked), 0 where it blends
//   TwoSided                1: faces seen from behind are lit with their normal turned round
//   XxxSets, XxxOffset      where each non-base map of a group with extras reads: its u is
//                           dot(XxxSetsU, (u0, v0, u1, v1)) + offset.x, its v likewise with V
// A mask that is not bound reads 0 in its red channel: the layers it drives do not show.

// The blend rules, shared with the texture bake of exported assets.
shared "aged_look.glsl";
// The light around the model: diffuse and prefiltered specular, the split-sum table, the sun.
shared "environment_light.glsl";

shared {
  uniform mat4 g_mWorld;
  uniform mat4 g_mWorldViewProjection;
  uniform vec3 g_vCameraPosition = vec3(0.0, 0.0, -4.0);
  uniform vec3 g_vLightPositionMain = vec3(-20.0, 20.0, -20.0);

  // The mask views' masks.
  uniform sampler2D RustMask;
  uniform sampler2D DirtMask;

  // The chosen look's base, laid on from three sides: its colour times its texture, its normal
  // map's slope times its strength. BaseHasMaps: 1 where the texture (x) or the normal map (y) is
  // bound, 0 where the look has none (white and flat stand in).
  uniform sampler2D BaseDiffuse;
  uniform sampler2D BaseNrm;
  uniform vec3 BaseColor = vec3(1.0);
  uniform float BaseNormalStrength = 1.0;
  uniform float BaseMetallic = 0.0;
  uniform float BaseRoughness = 0.5;
  uniform vec2 BaseHasMaps = vec2(0.0);

  // The look's layers, applied in order: the first LayerCount of four. Each vec4 holds one value
  // of the four layers (x the first): as LookLayer has them, how much of its mask shows (the
  // factor of the mask it reads), its normal map's strength and whether its texture and normal
  // map are bound. A layer's colour (sRGB-encoded, multiplying its texture), its mask (the rust,
  // dirt or humidity mask of the faces drawn) and its maps are its own.
  uniform int LayerCount = 0;
  uniform vec4 LayerBlend = vec4(0.0);
  uniform vec4 LayerFactor = vec4(1.0);
  uniform vec4 LayerGain = vec4(0.0);
  uniform vec4 LayerStart = vec4(0.0);
  uniform vec4 LayerEnd = vec4(1.0);
  uniform vec4 LayerMetallic = vec4(0.0);
  uniform vec4 LayerRoughness = vec4(1.0);
  uniform vec4 LayerNormalStrength = vec4(1.0);
  uniform vec4 LayerHasTexture = vec4(0.0);
  uniform vec4 LayerHasNormal = vec4(0.0);
  uniform vec3 Layer0Color = vec3(1.0), Layer1Color = vec3(1.0), Layer2Color = vec3(1.0), Layer3Color = vec3(1.0);
  uniform sampler2D Layer0Mask, Layer0Texture, Layer0Normal, Layer1Mask, Layer1Texture, Layer1Normal;
  uniform sampler2D Layer2Mask, Layer2Texture, Layer2Normal, Layer3Mask, Layer3Texture, Layer3Normal;

  // The model's own material. Colours in the maps are sRGB-encoded, the rest linear.
  uniform sampler2D BaseColorMap;
  uniform sampler2D MetallicRoughnessMap;  // green roughness, blue metallic
  uniform sampler2D NormalMap;             // tangent space, +Y along increasing v
  uniform sampler2D OcclusionMap;          // red
  uniform sampler2D EmissiveMap;
  uniform vec4 BaseColorFactor = vec4(1.0);
  uniform float MetallicFactor = 1.0;
  uniform float RoughnessFactor = 1.0;
  uniform float NormalScale = 1.0;
  uniform float OcclusionStrength = 1.0;
  uniform vec3 EmissiveFactor = vec3(0.0);
  uniform float AlphaCutoff = -1.0;
  uniform float OpaqueAlpha = 1.0;
  uniform float TwoSided = 0.0;
  // 1 where the normal map lies otherwise than the base colour map (another set or transform):
  // its tangent frame is then worked out from its own coordinates, not taken from the vertex.
  uniform float NormalMapFrameOfItsOwn = 0.0;
  // The texture coordinates of the metallic-roughness, normal, occlusion and emissive maps: each
  // a set through its transform, as weights on both sets and an offset (see above).
  uniform vec4 MetallicRoughnessSetsU = vec4(1.0, 0.0, 0.0, 0.0);
  uniform vec4 MetallicRoughnessSetsV = vec4(0.0, 1.0, 0.0, 0.0);
  uniform vec4 NormalSetsU = vec4(1.0, 0.0, 0.0, 0.0);
  uniform vec4 NormalSetsV = vec4(0.0, 1.0, 0.0, 0.0);
  uniform vec4 OcclusionSetsU = vec4(1.0, 0.0, 0.0, 0.0);
  uniform vec4 OcclusionSetsV = vec4(0.0, 1.0, 0.0, 0.0);
  uniform vec4 EmissiveSetsU = vec4(1.0, 0.0, 0.0, 0.0);
  uniform vec4 EmissiveSetsV = vec4(0.0, 1.0, 0.0, 0.0);
  uniform vec4 MapOffsetsU = vec4(0.0);  // metallic-roughness, normal, occlusion, emissive
  uniform vec4 MapOffsetsV = vec4(0.0);

  uniform float Bump = 1.0;
  uniform float RustFactor = 1.0;
  uniform float DirtFactor = 1.0;

  const float kPi = 3.14159265;

  float Mask(sampler2D mask, vec2 uv, float factor) { return MaskAmount(texture(mask, uv).r, factor); }

  vec3 DecodeSrgb(vec3 c) { return mix(c / 12.92, pow((c + 0.055) / 1.055, vec3(2.4)), step(vec3(0.04045), c)); }
  vec3 EncodeSrgb(vec3 c) {
    c = max(c, vec3(0.0));
    return mix(c * 12.92, 1.055 * pow(c, vec3(1.0 / 2.4)) - 0.055, step(vec3(0.0031308), c));
  }

  // One side of the three-sided projection: its texture coordinates and their screen gradients,
  // and the object directions its u and v run along.
  struct Side {
    vec2 uv;
    vec2 dx;
    vec2 dy;
    vec3 alongU;
    vec3 alongV;
  };

  // A fixed pattern of thresholds in [0, 1) on the screen, finer than the material's grain.
  float Dither(vec2 pixel) { return fract(52.9829189 * fract(dot(pixel, vec2(0.06711056, 0.00583715)))); }

  // The bake mixes the sides by their weights. Each pixel here reads one side: a texture read
  // costs the software rasteriser as much as all the lighting, and it runs both ways of a
  // branch, so blending sides would read them all. Where sides are close to equal the pixel
  // picks one at random in proportion to their weights, which blends them on average and keeps
  // the seam from showing as a line. The gradients are the chosen side's own: implicit ones
  // would jump where neighbouring pixels chose differently.
  // p in material repeats; dx, dy: how p changes to the next pixel across and down.
  Side PickSide(vec3 p, vec3 dx, vec3 dy, vec2 pixel, vec3 normal) {
    vec3 w = SideWeights(normal);
    float pick = Dither(pixel) * (w.x + w.y + w.z);
    int axis = pick < w.x ? 0 : (pick < w.x + w.y ? 1 : 2);
    return Side(SideCoordinates(axis, p), SideCoordinates(axis, dx), SideCoordinates(axis, dy), SideAlongU(axis),
                SideAlongV(axis));
  }

  vec3 Slope(sampler2D map, Side side) {
    vec2 slope = textureGrad(map, side.uv, side.dx, side.dy).xy * 2.0 - 1.0;
    return side.alongU * slope.x + side.alongV * slope.y;
  }

  // Where the own material's maps other than the base colour are read: the metallic-roughness
  // and normal maps' coordinates in one, the occlusion and emissive maps' in the other.
  struct MapCoordinates {
    vec4 metallicRoughnessNormal;
    vec4 occlusionEmissive;
  };

  // Every map at the base colour's coordinates (the ageing coordinates): groups without extras.
  MapCoordinates AllAt(vec2 uv) { return MapCoordinates(vec4(uv, uv), vec4(uv, uv)); }

  // The maps' coordinates from both sets, v downwards.
  MapCoordinates MapsAt(vec2 set0, vec2 set1) {
    vec4 sets = vec4(set0, set1);
    vec4 u = vec4(dot(MetallicRoughnessSetsU, sets), dot(NormalSetsU, sets), dot(OcclusionSetsU, sets),
                  dot(EmissiveSetsU, sets)) + MapOffsetsU;
    vec4 v = vec4(dot(MetallicRoughnessSetsV, sets), dot(NormalSetsV, sets), dot(OcclusionSetsV, sets),
                  dot(EmissiveSetsV, sets)) + MapOffsetsV;
    return MapCoordinates(vec4(u.x, v.x, u.y, v.y), vec4(u.z, v.z, u.w, v.w));
  }

  // The tangent frame of texture coordinates t (v downwards) at a pixel, from the screen gradients
  // of the object position (dx, dy) and of t: the tangent along increasing u, and in w the side
  // of cross(normal, tangent) that a normal map's +Y (v growing upwards) lies on.
  vec4 CoordinateTangent(vec3 normal, vec3 dx, vec3 dy, vec2 tdx, vec2 tdy) {
    vec3 dyAcross = cross(dy, normal);
    vec3 dxAcross = cross(normal, dx);
    vec3 alongU = dyAcross * tdx.x + dxAcross * tdy.x;
    vec3 alongV = dyAcross * tdx.y + dxAcross * tdy.y;
    return vec4(alongU, dot(cross(normal, alongU), alongV) > 0.0 ? -1.0 : 1.0);
  }

  // What ShadedVertex hands on, and the screen gradients of the material position (this code is
  // in front of the vertex stages too, where there are none).
  struct ShadedInput {
    vec3 worldPosition;
    vec2 uv;
    vec3 repeats;  // the object position in material repeats
    vec3 objectNormal;
    vec4 objectTangent;
    vec3 dx;
    vec3 dy;
    vec2 pixel;  // gl_FragCoord.xy
    MapCoordinates maps;
    vec4 vertexColor;  // white for groups without extras
    bool frontFacing;
  };

  // The own material's alpha: the base colour's times its factor's times the vertex colour's.
  float OwnAlpha(vec2 uv, vec4 vertexColor) { return texture(BaseColorMap, uv).a * BaseColorFactor.a * vertexColor.a; }

  // The model's own material at the point, as the bake reads it: the colour times its factor in
  // the sRGB encoding the patina's texture has, and the normal map in the vertex frame.
  BaseLook OwnBase(vec2 uv, MapCoordinates maps, vec3 normal, vec4 tangent) {
    vec3 color = EncodeSrgb(DecodeSrgb(texture(BaseColorMap, uv).rgb) * BaseColorFactor.rgb);
    vec3 metalRough = texture(MetallicRoughnessMap, maps.metallicRoughnessNormal.xy).rgb;
    vec3 map = texture(NormalMap, maps.metallicRoughnessNormal.zw).rgb;
    vec3 across = tangent.xyz - normal * dot(normal, tangent.xyz);
    across = dot(across, across) > 1e-12 ? normalize(across) : vec3(0.0);
    vec3 bitangent = cross(normal, across) * (tangent.w < 0.0 ? -1.0 : 1.0);
    return BaseLook(color, TangentSlope(across, bitangent, map.r, map.g, map.b, NormalScale),
                    MetallicFactor * metalRough.b, RoughnessFactor * metalRough.g);
  }

  // The look's base at the point, as the bake's SampleSurface gives it.
  BaseLook LookBase(Side side) {
    vec3 color = BaseColor;
    if (BaseHasMaps.x > 0.5) color *= textureGrad(BaseDiffuse, side.uv, side.dx, side.dy).rgb;
    vec3 slope = vec3(0.0);
    if (BaseHasMaps.y > 0.5) slope = Slope(BaseNrm, side) * BaseNormalStrength;
    return BaseLook(color, slope, BaseMetallic, BaseRoughness);
  }

  // Layer k of the look over the material under it, with its colour, mask and maps. Its maps are
  // read only where it covers, as the bake reads them.
  BaseLook LayerOver(BaseLook under, int k, vec2 uv, sampler2D mask, vec3 color, sampler2D colorMap,
                     sampler2D normalMap, Side side) {
    LookLayer layer = LookLayer(int(LayerBlend[k]), LayerGain[k], LayerStart[k], LayerEnd[k], LayerMetallic[k],
                                LayerRoughness[k]);
    float cover = LayerCover(texture(mask, uv).r, LayerFactor[k], layer);
    if (!(cover > 0.0)) return under;
    if (LayerHasTexture[k] > 0.5) color *= textureGrad(colorMap, side.uv, side.dx, side.dy).rgb;
    vec3 slope = vec3(0.0);
    if (LayerHasNormal[k] > 0.5) slope = Slope(normalMap, side) * LayerNormalStrength[k];
    return ApplyLayer(under, layer, color, slope, cover);
  }

  // The aged material at the point, its normal still in object space. own: the base is the
  // model's own material, else the look's; layers: 2 or 4, the most layers drawn (both constants
  // in each caller, so the compiler keeps only what they need). The layers are written out one
  // by one, as GLSL 3.30 picks a sampler by a constant only; the software rasteriser runs both
  // ways of a branch, so a look of two layers is drawn by the techniques of two (see below).
  AgedMaterial AgedAt(ShadedInput i, bool own, int layers) {
    vec3 normal = normalize(i.objectNormal);
    Side side = PickSide(i.repeats, i.dx, i.dy, i.pixel, normal);
    BaseLook layered;
    if (own) {
      layered = OwnBase(i.uv, i.maps, normal, i.objectTangent);
    } else {
      layered = LookBase(side);
    }
    if (LayerCount > 0) {
      layered = LayerOver(layered, 0, i.uv, Layer0Mask, Layer0Color, Layer0Texture, Layer0Normal, side);
    }
    if (LayerCount > 1) {
      layered = LayerOver(layered, 1, i.uv, Layer1Mask, Layer1Color, Layer1Texture, Layer1Normal, side);
    }
    if (layers > 2 && LayerCount > 2) {
      layered = LayerOver(layered, 2, i.uv, Layer2Mask, Layer2Color, Layer2Texture, Layer2Normal, side);
    }
    if (layers > 3 && LayerCount > 3) {
      layered = LayerOver(layered, 3, i.uv, Layer3Mask, Layer3Color, Layer3Texture, Layer3Normal, side);
    }
    return FinishLook(normal, layered, Bump);
  }

  // glTF's metallic-roughness BRDF: GGX distribution, Smith height-correlated visibility,
  // Schlick's Fresnel, Lambert diffuse for the part that is not metal. Lit by the environment
  // (split sum, scaled by the occlusion) and by its main light as a punctual light whose colour
  // is the irradiance it gives a surface facing it. Linear colours, unit world vectors.
  vec3 MetallicRoughnessLight(vec3 baseColor, float metallic, float roughness, float occlusion, vec3 normal,
                              vec3 toEye) {
    roughness = clamp(roughness, 0.03, 1.0);
    vec3 diffuseColor = baseColor * (1.0 - metallic);
    vec3 f0 = mix(vec3(0.04), baseColor, metallic);
    float nDotV = max(dot(normal, toEye), 1e-4);

    vec2 split = EnvironmentBrdf(nDotV, roughness);
    vec3 ambient = diffuseColor * EnvironmentDiffuse(normal) +
                   EnvironmentSpecular(reflect(-toEye, normal), roughness) * (f0 * split.x + split.y);

    vec3 toLight = EnvironmentMainLightDirection();
    vec3 halfway = normalize(toLight + toEye);
    float nDotL = max(dot(normal, toLight), 0.0);
    float nDotH = max(dot(normal, halfway), 0.0);
    float vDotH = max(dot(toEye, halfway), 0.0);
    float a2 = roughness * roughness * roughness * roughness;
    float d = nDotH * nDotH * (a2 - 1.0) + 1.0;
    float distribution = a2 / (kPi * d * d);
    float visibility = 0.5 / max(nDotL * sqrt(nDotV * nDotV * (1.0 - a2) + a2) +
                                     nDotV * sqrt(nDotL * nDotL * (1.0 - a2) + a2),
                                 1e-6);
    float grazing = 1.0 - vDotH;
    float grazing2 = grazing * grazing;
    vec3 fresnel = f0 + (1.0 - f0) * (grazing2 * grazing2 * grazing);
    vec3 direct = ((1.0 - fresnel) * diffuseColor / kPi + fresnel * (distribution * visibility)) *
                  EnvironmentMainLightColor() * nDotL;
    return ambient * occlusion + direct;
  }

  // Khronos' PBR Neutral tone mapping: below about 0.8 colours pass unchanged (but for a small
  // offset near black) and above it they roll off towards white keeping their hue. A material
  // viewer wants that: the base colours show as authored, where a filmic curve would darken and
  // shift them.
  vec3 NeutralToneMap(vec3 color) {
    const float kStartCompression = 0.8 - 0.04;
    const float kDesaturation = 0.15;
    float lowest = min(color.r, min(color.g, color.b));
    float offset = lowest < 0.08 ? lowest - 6.25 * lowest * lowest : 0.04;
    color -= offset;
    float peak = max(color.r, max(color.g, color.b));
    if (peak < kStartCompression) return color;
    const float kRange = 1.0 - kStartCompression;
    float newPeak = 1.0 - kRange * kRange / (peak + kRange - kStartCompression);
    color *= newPeak / peak;
    float toWhite = 1.0 - 1.0 / (kDesaturation * (peak - newPeak) + 1.0);
    return mix(color, vec3(newPeak), toWhite);
  }

  // The aged surface lit, tone mapped and sRGB-encoded for the screen, with the alpha given
  // (1 for an opaque surface). The vertex colour multiplies the aged base colour, as a glTF
  // viewer multiplies it into the exported one.
  vec4 ShadedSurface(ShadedInput i, bool own, int layers, float alpha) {
    AgedMaterial aged = AgedAt(i, own, layers);
    // g_mWorld is a rotation plus a move: its upper 3 x 3 turns directions.
    vec3 normal = normalize(mat3(g_mWorld) * aged.normal);
    if (own && TwoSided > 0.5 && !i.frontFacing) normal = -normal;
    vec3 toEye = normalize(g_vCameraPosition - i.worldPosition);
    float occlusion = 1.0;
    vec3 emissive = vec3(0.0);
    if (own) {
      occlusion = 1.0 + OcclusionStrength * (texture(OcclusionMap, i.maps.occlusionEmissive.xy).r - 1.0);
      emissive = EmissiveFactor * DecodeSrgb(texture(EmissiveMap, i.maps.occlusionEmissive.zw).rgb);
    }
    vec3 baseColor = DecodeSrgb(aged.color) * i.vertexColor.rgb;
    vec3 color = MetallicRoughnessLight(baseColor, aged.metallic, aged.roughness, occlusion, normal, toEye);
    return vec4(EncodeSrgb(NeutralToneMap(color + emissive)), alpha);
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

// The aged surface is composed in object space, as the bake composes it, and lit in world space.
vertex ShadedVertex {
  in vec4 POSITION;
  in vec2 TEXCOORD;
  in vec4 NORMAL;
  in vec4 TANGENT;
  in vec4 BINORMAL;
  out vec3 worldPosition;
  out vec2 uv;
  out vec3 repeats;
  out vec3 objectNormal;
  out vec4 objectTangent;

  void main() {
    vec4 world = g_mWorld * vec4(POSITION.xyz, 1.0);
    worldPosition = world.xyz;
    uv = TEXCOORD;
    repeats = POSITION.xyz * kMaterialScale;
    objectNormal = NORMAL.xyz;
    objectTangent = TANGENT;
    gl_Position = g_mWorldViewProjection * world;
  }
}

// The same for groups with extras: the maps' coordinates from both sets, and the vertex colour.
vertex ShadedExtrasVertex {
  in vec4 POSITION;
  in vec2 TEXCOORD;
  in vec4 NORMAL;
  in vec4 TANGENT;
  in vec4 BINORMAL;
  in vec2 TEXCOORD1;
  in vec2 TEXCOORD2;
  in vec4 COLOR;
  out vec3 worldPosition;
  out vec2 uv;
  out vec3 repeats;
  out vec3 objectNormal;
  out vec4 objectTangent;
  out vec4 metallicRoughnessNormalUv;
  out vec4 occlusionEmissiveUv;
  out vec4 vertexColor;

  void main() {
    vec4 world = g_mWorld * vec4(POSITION.xyz, 1.0);
    worldPosition = world.xyz;
    uv = TEXCOORD;
    repeats = POSITION.xyz * kMaterialScale;
    objectNormal = NORMAL.xyz;
    objectTangent = TANGENT;
    MapCoordinates maps = MapsAt(TEXCOORD1, TEXCOORD2);
    metallicRoughnessNormalUv = maps.metallicRoughnessNormal;
    occlusionEmissiveUv = maps.occlusionEmissive;
    vertexColor = COLOR;
    gl_Position = g_mWorldViewProjection * world;
  }
}

fragment ShadedPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  out vec4 color;
  void main() {
    color = ShadedSurface(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                      dFdy(repeats), gl_FragCoord.xy, AllAt(uv), vec4(1.0), gl_FrontFacing),
                          false, 4, 1.0);
  }
}

fragment ShadedPixelTwoLayers {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  out vec4 color;
  void main() {
    color = ShadedSurface(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                      dFdy(repeats), gl_FragCoord.xy, AllAt(uv), vec4(1.0), gl_FrontFacing),
                          false, 2, 1.0);
  }
}

fragment ShadedOwnPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  out vec4 color;
  void main() {
    // Not drawn where a masked alpha falls below the cutoff.
    float alpha = OwnAlpha(uv, vec4(1.0));
    if (alpha < AlphaCutoff) discard;
    color = ShadedSurface(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                      dFdy(repeats), gl_FragCoord.xy, AllAt(uv), vec4(1.0), gl_FrontFacing),
                          true, 4, max(alpha, OpaqueAlpha));
  }
}

fragment ShadedOwnPixelTwoLayers {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  out vec4 color;
  void main() {
    // Not drawn where a masked alpha falls below the cutoff.
    float alpha = OwnAlpha(uv, vec4(1.0));
    if (alpha < AlphaCutoff) discard;
    color = ShadedSurface(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                      dFdy(repeats), gl_FragCoord.xy, AllAt(uv), vec4(1.0), gl_FrontFacing),
                          true, 2, max(alpha, OpaqueAlpha));
  }
}

fragment ShadedExtrasPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  in vec4 metallicRoughnessNormalUv;
  in vec4 occlusionEmissiveUv;
  in vec4 vertexColor;
  out vec4 color;
  void main() {
    color = ShadedSurface(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                      dFdy(repeats), gl_FragCoord.xy,
                                      MapCoordinates(metallicRoughnessNormalUv, occlusionEmissiveUv), vertexColor,
                                      gl_FrontFacing),
                          false, 4, 1.0);
  }
}

fragment ShadedExtrasPixelTwoLayers {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  in vec4 metallicRoughnessNormalUv;
  in vec4 occlusionEmissiveUv;
  in vec4 vertexColor;
  out vec4 color;
  void main() {
    color = ShadedSurface(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                      dFdy(repeats), gl_FragCoord.xy,
                                      MapCoordinates(metallicRoughnessNormalUv, occlusionEmissiveUv), vertexColor,
                                      gl_FrontFacing),
                          false, 2, 1.0);
  }
}

fragment ShadedOwnExtrasPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  in vec4 metallicRoughnessNormalUv;
  in vec4 occlusionEmissiveUv;
  in vec4 vertexColor;
  out vec4 color;
  void main() {
    float alpha = OwnAlpha(uv, vertexColor);
    if (alpha < AlphaCutoff) discard;
    vec4 tangent = objectTangent;
    if (NormalMapFrameOfItsOwn > 0.5) {
      tangent = CoordinateTangent(normalize(objectNormal), dFdx(repeats), dFdy(repeats),
                                  dFdx(metallicRoughnessNormalUv.zw), dFdy(metallicRoughnessNormalUv.zw));
    }
    color = ShadedSurface(ShadedInput(worldPosition, uv, repeats, objectNormal, tangent, dFdx(repeats),
                                      dFdy(repeats), gl_FragCoord.xy,
                                      MapCoordinates(metallicRoughnessNormalUv, occlusionEmissiveUv), vertexColor,
                                      gl_FrontFacing),
                          true, 4, max(alpha, OpaqueAlpha));
  }
}

fragment ShadedOwnExtrasPixelTwoLayers {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  in vec4 metallicRoughnessNormalUv;
  in vec4 occlusionEmissiveUv;
  in vec4 vertexColor;
  out vec4 color;
  void main() {
    float alpha = OwnAlpha(uv, vertexColor);
    if (alpha < AlphaCutoff) discard;
    vec4 tangent = objectTangent;
    if (NormalMapFrameOfItsOwn > 0.5) {
      tangent = CoordinateTangent(normalize(objectNormal), dFdx(repeats), dFdy(repeats),
                                  dFdx(metallicRoughnessNormalUv.zw), dFdy(metallicRoughnessNormalUv.zw));
    }
    color = ShadedSurface(ShadedInput(worldPosition, uv, repeats, objectNormal, tangent, dFdx(repeats),
                                      dFdy(repeats), gl_FragCoord.xy,
                                      MapCoordinates(metallicRoughnessNormalUv, occlusionEmissiveUv), vertexColor,
                                      gl_FrontFacing),
                          true, 2, max(alpha, OpaqueAlpha));
  }
}

// What the look gives before it is lit, for checking it against the bake: the aged colour
// (sRGB-encoded) with the metallic, and the aged normal (in world space) with the roughness.
fragment AgedColorMetallicPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  out vec4 color;
  void main() {
    AgedMaterial aged = AgedAt(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                           dFdy(repeats), gl_FragCoord.xy, AllAt(uv), vec4(1.0), gl_FrontFacing),
                               false, 4);
    color = vec4(aged.color, aged.metallic);
  }
}

fragment AgedColorMetallicPixelTwoLayers {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  out vec4 color;
  void main() {
    AgedMaterial aged = AgedAt(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                           dFdy(repeats), gl_FragCoord.xy, AllAt(uv), vec4(1.0), gl_FrontFacing),
                               false, 2);
    color = vec4(aged.color, aged.metallic);
  }
}

fragment AgedColorMetallicOwnPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  out vec4 color;
  void main() {
    AgedMaterial aged = AgedAt(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                           dFdy(repeats), gl_FragCoord.xy, AllAt(uv), vec4(1.0), gl_FrontFacing),
                               true, 4);
    color = vec4(aged.color, aged.metallic);
  }
}

fragment AgedColorMetallicOwnPixelTwoLayers {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  out vec4 color;
  void main() {
    AgedMaterial aged = AgedAt(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                           dFdy(repeats), gl_FragCoord.xy, AllAt(uv), vec4(1.0), gl_FrontFacing),
                               true, 2);
    color = vec4(aged.color, aged.metallic);
  }
}

fragment AgedNormalRoughnessPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  out vec4 color;
  void main() {
    AgedMaterial aged = AgedAt(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                           dFdy(repeats), gl_FragCoord.xy, AllAt(uv), vec4(1.0), gl_FrontFacing),
                               false, 4);
    color = vec4(normalize(mat3(g_mWorld) * aged.normal), aged.roughness);
  }
}

fragment AgedNormalRoughnessPixelTwoLayers {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  out vec4 color;
  void main() {
    AgedMaterial aged = AgedAt(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                           dFdy(repeats), gl_FragCoord.xy, AllAt(uv), vec4(1.0), gl_FrontFacing),
                               false, 2);
    color = vec4(normalize(mat3(g_mWorld) * aged.normal), aged.roughness);
  }
}

fragment AgedNormalRoughnessOwnPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  out vec4 color;
  void main() {
    AgedMaterial aged = AgedAt(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                           dFdy(repeats), gl_FragCoord.xy, AllAt(uv), vec4(1.0), gl_FrontFacing),
                               true, 4);
    color = vec4(normalize(mat3(g_mWorld) * aged.normal), aged.roughness);
  }
}

fragment AgedNormalRoughnessOwnPixelTwoLayers {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 repeats;
  in vec3 objectNormal;
  in vec4 objectTangent;
  out vec4 color;
  void main() {
    AgedMaterial aged = AgedAt(ShadedInput(worldPosition, uv, repeats, objectNormal, objectTangent, dFdx(repeats),
                                           dFdy(repeats), gl_FragCoord.xy, AllAt(uv), vec4(1.0), gl_FrontFacing),
                               true, 2);
    color = vec4(normalize(mat3(g_mWorld) * aged.normal), aged.roughness);
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

// The own material's mask views leave out what its alpha mask leaves out of the Shaded view.
fragment DirtOwnPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 worldNormal;
  out vec4 color;
  void main() {
    if (OwnAlpha(uv, vec4(1.0)) < AlphaCutoff) discard;
    color = MaskView(worldPosition, worldNormal, uv, DirtMask, DirtFactor);
  }
}

fragment RustOwnPixel {
  in vec3 worldPosition;
  in vec2 uv;
  in vec3 worldNormal;
  out vec4 color;
  void main() {
    if (OwnAlpha(uv, vec4(1.0)) < AlphaCutoff) discard;
    color = MaskView(worldPosition, worldNormal, uv, RustMask, RustFactor);
  }
}

// Faces wind anticlockwise seen from their front, as glTF and OBJ have them.
state Solid {
  blend = off;
  depth_test = less_equal;
  depth_write = on;
  cull = none;
  front_face = ccw;
}

// A one-sided material's faces seen from behind are not drawn.
state SolidCulled {
  blend = off;
  depth_test = less_equal;
  depth_write = on;
  cull = back;
  front_face = ccw;
}

// A blended material is drawn over what is behind it and hides nothing drawn after it.
state Blended {
  blend = src_alpha one_minus_src_alpha, one one_minus_src_alpha;
  depth_test = less_equal;
  depth_write = off;
  cull = none;
  front_face = ccw;
}

state BlendedCulled {
  blend = src_alpha one_minus_src_alpha, one one_minus_src_alpha;
  depth_test = less_equal;
  depth_write = off;
  cull = back;
  front_face = ccw;
}

// Each technique X that reads the base material has a twin XOwn for materials of the model's
// own; the viewer draws each subset with the one its material needs: named further with "Extras"
// for groups with vertex extras, "Blend" for a blended material and "Culled" for a one-sided
// glTF material, where the effect has such a technique. Those that draw the look draw up to four
// layers; each has a twin named further with "TwoLayers" for looks of up to two.
technique Shaded {
  pass P0 { vertex = ShadedVertex; fragment = ShadedPixel; state = Solid; }
}

technique ShadedTwoLayers {
  pass P0 { vertex = ShadedVertex; fragment = ShadedPixelTwoLayers; state = Solid; }
}

technique ShadedExtras {
  pass P0 { vertex = ShadedExtrasVertex; fragment = ShadedExtrasPixel; state = Solid; }
}

technique ShadedExtrasTwoLayers {
  pass P0 { vertex = ShadedExtrasVertex; fragment = ShadedExtrasPixelTwoLayers; state = Solid; }
}

technique ShadedOwn {
  pass P0 { vertex = ShadedVertex; fragment = ShadedOwnPixel; state = Solid; }
}

technique ShadedOwnTwoLayers {
  pass P0 { vertex = ShadedVertex; fragment = ShadedOwnPixelTwoLayers; state = Solid; }
}

technique ShadedOwnCulled {
  pass P0 { vertex = ShadedVertex; fragment = ShadedOwnPixel; state = SolidCulled; }
}

technique ShadedOwnCulledTwoLayers {
  pass P0 { vertex = ShadedVertex; fragment = ShadedOwnPixelTwoLayers; state = SolidCulled; }
}

technique ShadedOwnBlend {
  pass P0 { vertex = ShadedVertex; fragment = ShadedOwnPixel; state = Blended; }
}

technique ShadedOwnBlendTwoLayers {
  pass P0 { vertex = ShadedVertex; fragment = ShadedOwnPixelTwoLayers; state = Blended; }
}

technique ShadedOwnBlendCulled {
  pass P0 { vertex = ShadedVertex; fragment = ShadedOwnPixel; state = BlendedCulled; }
}

technique ShadedOwnBlendCulledTwoLayers {
  pass P0 { vertex = ShadedVertex; fragment = ShadedOwnPixelTwoLayers; state = BlendedCulled; }
}

technique ShadedOwnExtras {
  pass P0 { vertex = ShadedExtrasVertex; fragment = ShadedOwnExtrasPixel; state = Solid; }
}

technique ShadedOwnExtrasTwoLayers {
  pass P0 { vertex = ShadedExtrasVertex; fragment = ShadedOwnExtrasPixelTwoLayers; state = Solid; }
}

technique ShadedOwnExtrasCulled {
  pass P0 { vertex = ShadedExtrasVertex; fragment = ShadedOwnExtrasPixel; state = SolidCulled; }
}

technique ShadedOwnExtrasCulledTwoLayers {
  pass P0 { vertex = ShadedExtrasVertex; fragment = ShadedOwnExtrasPixelTwoLayers; state = SolidCulled; }
}

technique ShadedOwnExtrasBlend {
  pass P0 { vertex = ShadedExtrasVertex; fragment = ShadedOwnExtrasPixel; state = Blended; }
}

technique ShadedOwnExtrasBlendTwoLayers {
  pass P0 { vertex = ShadedExtrasVertex; fragment = ShadedOwnExtrasPixelTwoLayers; state = Blended; }
}

technique ShadedOwnExtrasBlendCulled {
  pass P0 { vertex = ShadedExtrasVertex; fragment = ShadedOwnExtrasPixel; state = BlendedCulled; }
}

technique ShadedOwnExtrasBlendCulledTwoLayers {
  pass P0 { vertex = ShadedExtrasVertex; fragment = ShadedOwnExtrasPixelTwoLayers; state = BlendedCulled; }
}

technique AgedColorMetallic {
  pass P0 { vertex = ShadedVertex; fragment = AgedColorMetallicPixel; state = Solid; }
}

technique AgedColorMetallicTwoLayers {
  pass P0 { vertex = ShadedVertex; fragment = AgedColorMetallicPixelTwoLayers; state = Solid; }
}

technique AgedColorMetallicOwn {
  pass P0 { vertex = ShadedVertex; fragment = AgedColorMetallicOwnPixel; state = Solid; }
}

technique AgedColorMetallicOwnTwoLayers {
  pass P0 { vertex = ShadedVertex; fragment = AgedColorMetallicOwnPixelTwoLayers; state = Solid; }
}

technique AgedNormalRoughness {
  pass P0 { vertex = ShadedVertex; fragment = AgedNormalRoughnessPixel; state = Solid; }
}

technique AgedNormalRoughnessTwoLayers {
  pass P0 { vertex = ShadedVertex; fragment = AgedNormalRoughnessPixelTwoLayers; state = Solid; }
}

technique AgedNormalRoughnessOwn {
  pass P0 { vertex = ShadedVertex; fragment = AgedNormalRoughnessOwnPixel; state = Solid; }
}

technique AgedNormalRoughnessOwnTwoLayers {
  pass P0 { vertex = ShadedVertex; fragment = AgedNormalRoughnessOwnPixelTwoLayers; state = Solid; }
}

technique Dirt {
  pass P0 { vertex = MeshVertex; fragment = DirtPixel; state = Solid; }
}

technique Rust {
  pass P0 { vertex = MeshVertex; fragment = RustPixel; state = Solid; }
}

technique DirtOwn {
  pass P0 { vertex = MeshVertex; fragment = DirtOwnPixel; state = Solid; }
}

technique RustOwn {
  pass P0 { vertex = MeshVertex; fragment = RustOwnPixel; state = Solid; }
}

technique DirtOwnCulled {
  pass P0 { vertex = MeshVertex; fragment = DirtOwnPixel; state = SolidCulled; }
}

technique RustOwnCulled {
  pass P0 { vertex = MeshVertex; fragment = RustOwnPixel; state = SolidCulled; }
}
