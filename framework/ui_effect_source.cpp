#include "framework/ui_effect_source.h"

const char* const kUIEffectName = "ui_effect";

const std::string_view kUIEffectSource = R"fx(// The dialogs' effect: positions come in clip space, colours and texture coordinates pass through.
shared {
  uniform sampler2D g_Texture;
}

state UIBlend { blend = src_alpha one_minus_src_alpha, one zero; }
state NoBlending { blend = off; }
state DisableDepth { depth_test = off; depth_write = off; }
state EnableDepth { depth_test = on; depth_write = on; }

vertex PassThrough {
  in vec3 POSITION;
  in vec4 COLOR;
  in vec2 TEXCOORD;
  out vec4 vertexColor;
  out vec2 uv;
  void main() {
    vertexColor = COLOR;
    uv = TEXCOORD;
    gl_Position = vec4(POSITION, 1.0);
  }
}

fragment Textured {
  in vec4 vertexColor;
  in vec2 uv;
  out vec4 color;
  void main() { color = texture(g_Texture, uv) * vertexColor; }
}

fragment Untextured {
  in vec4 vertexColor;
  in vec2 uv;
  out vec4 color;
  void main() { color = vertexColor; }
}

technique RenderUI {
  pass P0 {
    vertex = PassThrough;
    fragment = Textured;
    state = DisableDepth UIBlend;
    cull = none;
  }
}

technique RenderUIUntex {
  pass P0 {
    vertex = PassThrough;
    fragment = Untextured;
    state = DisableDepth UIBlend;
    cull = none;
  }
}

technique CopyPicture {
  pass P0 {
    vertex = PassThrough;
    fragment = Textured;
    state = DisableDepth NoBlending;
    cull = none;
  }
}

technique RestoreState {
  pass P0 {
    vertex = PassThrough;
    fragment = Untextured;
    state = EnableDepth NoBlending;
    cull = none;
  }
}
)fx";
