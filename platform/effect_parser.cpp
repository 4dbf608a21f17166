#include "platform/effect_parser.h"

#include <cctype>
#include <regex>

namespace Platform {
namespace {

struct Token {
  enum Kind { Word, Punct, End } kind = End;
  std::string text;
  uint32_t line = 0;
};

// One item of a pass in the order written; resolved once every block is known.
struct PassItem {
  std::string key;
  std::string value;
  uint32_t line = 0;
};

bool IsWordChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

class Parser {
public:
  Parser(const std::string& text, const std::string& sourceName, EffectDescription* effect, std::string* errors,
         const SharedFileReader& readSharedFile)
      : text(text), source(sourceName), effect(*effect), errors(errors), readSharedFile(readSharedFile) {}

  bool Run() {
    while (!failed) {
      const Token token = Next();
      if (token.kind == Token::End) break;
      if (token.kind == Token::Word && token.text == "shared") {
        if (SkipBlanks() && pos < text.size() && text[pos] == '"') {
          ParseSharedFile(token);
        } else {
          ParseCodeBlock(token, &effect.sharedBlocks, false);
        }
      } else if (token.kind == Token::Word && token.text == "vertex") {
        ParseCodeBlock(token, &effect.vertexBlocks, true);
      } else if (token.kind == Token::Word && token.text == "fragment") {
        ParseCodeBlock(token, &effect.fragmentBlocks, true);
      } else if (token.kind == Token::Word && token.text == "state") {
        ParseStateBlock(token);
      } else if (token.kind == Token::Word && token.text == "technique") {
        ParseTechnique(token);
      } else {
        Fail(token.line, "expected shared, vertex, fragment, state or technique, found " + Describe(token));
      }
    }
    // An effect that offers nothing to draw with is a mistake (an empty or wrong file).
    if (!failed && effect.techniques.empty()) Error(line, "the effect has no technique");
    if (!failed) ResolvePasses();
    if (!failed) ScanUniforms();
    return !failed && !hadError;
  }

private:
  void Error(uint32_t line, const std::string& message) {
    hadError = true;
    if (errors) *errors += source + ":" + std::to_string(line) + ": " + message + "\n";
  }
  // A syntax error: nothing after it can be trusted, so parsing stops.
  void Fail(uint32_t line, const std::string& message) {
    Error(line, message);
    failed = true;
  }

  static std::string Describe(const Token& token) {
    return token.kind == Token::End ? std::string("the end of the file") : "'" + token.text + "'";
  }

  // Skips blanks and comments; false (after reporting) on a comment that never ends.
  bool SkipBlanks() {
    while (pos < text.size()) {
      const char c = text[pos];
      if (c == '\n') {
        ++line;
        ++pos;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++pos;
      } else if (text.compare(pos, 2, "//") == 0) {
        while (pos < text.size() && text[pos] != '\n') ++pos;
      } else if (text.compare(pos, 2, "/*") == 0) {
        const uint32_t startLine = line;
        pos += 2;
        while (pos < text.size() && text.compare(pos, 2, "*/") != 0) {
          if (text[pos] == '\n') ++line;
          ++pos;
        }
        if (pos >= text.size()) {
          Fail(startLine, "comment is never closed");
          return false;
        }
        pos += 2;
      } else {
        return true;
      }
    }
    return true;
  }

  Token Next() {
    Token token;
    if (!SkipBlanks()) return token;
    token.line = line;
    if (pos >= text.size()) return token;
    const char c = text[pos];
    if (IsWordChar(c)) {
      const size_t start = pos;
      while (pos < text.size() && IsWordChar(text[pos])) ++pos;
      token.kind = Token::Word;
      token.text = text.substr(start, pos - start);
    } else {
      token.kind = Token::Punct;
      token.text = std::string(1, c);
      ++pos;
    }
    return token;
  }

  bool Expect(const std::string& punct, const std::string& after) {
    const Token token = Next();
    if (token.kind == Token::Punct && token.text == punct) return true;
    if (!failed) Fail(token.line, "expected '" + punct + "' " + after + ", found " + Describe(token));
    return false;
  }

  bool ExpectName(const std::string& what, Token* name) {
    *name = Next();
    if (name->kind == Token::Word) return true;
    if (!failed) Fail(name->line, "expected the name of the " + what + ", found " + Describe(*name));
    return false;
  }

  // The code after '{' up to the matching '}', braces counted outside comments.
  void ParseCodeBlock(const Token& header, std::vector<CodeBlock>* blocks, bool named) {
    CodeBlock block;
    block.line = header.line;
    Token name;
    if (named) {
      if (!ExpectName(header.text + " block", &name)) return;
      block.name = name.text;
      for (const CodeBlock& other : *blocks) {
        if (other.name == block.name) {
          Error(header.line, header.text + " block '" + block.name + "' is already defined on line " +
                                 std::to_string(other.line));
        }
      }
    }
    if (!Expect("{", "to open the " + header.text + " block")) return;
    block.firstLine = line;
    const size_t start = pos;
    int depth = 1;
    while (pos < text.size()) {
      const char c = text[pos];
      if (c == '\n') {
        ++line;
      } else if (text.compare(pos, 2, "//") == 0) {
        while (pos + 1 < text.size() && text[pos + 1] != '\n') ++pos;
      } else if (text.compare(pos, 2, "/*") == 0) {
        ++pos;
        while (pos + 1 < text.size() && text.compare(pos, 2, "*/") != 0) {
          if (text[pos] == '\n') ++line;
          ++pos;
        }
        ++pos;
      } else if (c == '{') {
        ++depth;
      } else if (c == '}' && --depth == 0) {
        break;
      }
      ++pos;
    }
    if (pos >= text.size()) {
      Fail(header.line, header.text + " block" + (named ? " '" + block.name + "'" : std::string()) +
                            " is never closed");
      return;
    }
    block.code = text.substr(start, pos - start);
    ++pos;
    blocks->push_back(std::move(block));
  }

  // `"NAME";` after the word shared: the file's text becomes a shared block of its own.
  void ParseSharedFile(const Token& header) {
    ++pos;
    const size_t start = pos;
    while (pos < text.size() && text[pos] != '"' && text[pos] != '\n') ++pos;
    if (pos >= text.size() || text[pos] != '"') {
      Fail(header.line, "the file name after shared does not end with '\"'");
      return;
    }
    const std::string name = text.substr(start, pos - start);
    ++pos;
    if (!Expect(";", "after the file name of a shared block")) return;
    CodeBlock block;
    block.line = header.line;
    block.firstLine = 1;
    block.fileName = name;
    block.sourceNumber = ++sharedFiles;
    std::string why = "shared files can be named only by an effect read from a file";
    if (name.empty() || !readSharedFile || !readSharedFile(name, &block.code, &why)) {
      Error(header.line, "shared \"" + name + "\": " + (name.empty() ? std::string("no file named") : why));
      return;
    }
    effect.sharedBlocks.push_back(std::move(block));
  }

  // "key = words and commas ;" after the key was read.
  bool ParseSettingValue(const Token& key, std::string* value) {
    if (!Expect("=", "after '" + key.text + "'")) return false;
    value->clear();
    for (;;) {
      const Token token = Next();
      if (token.kind == Token::Punct && token.text == ";") break;
      if (token.kind == Token::End || (token.kind == Token::Punct && token.text != ",")) {
        if (!failed) Fail(key.line, "setting '" + key.text + "' does not end with ';'");
        return false;
      }
      if (!value->empty() && token.text != ",") *value += ' ';
      *value += token.text;
    }
    if (value->empty()) Error(key.line, "setting '" + key.text + "' has no value");
    return true;
  }

  void ParseStateBlock(const Token& header) {
    StateBlock block;
    block.line = header.line;
    Token name;
    if (!ExpectName("state block", &name)) return;
    block.name = name.text;
    for (const StateBlock& other : effect.stateBlocks) {
      if (other.name == block.name) {
        Error(header.line, "state block '" + block.name + "' is already defined on line " + std::to_string(other.line));
      }
    }
    if (!Expect("{", "to open state block '" + block.name + "'")) return;
    for (;;) {
      const Token key = Next();
      if (key.kind == Token::Punct && key.text == "}") break;
      if (key.kind != Token::Word) {
        if (!failed) Fail(key.line, "expected a setting or '}' in state block '" + block.name + "', found " + Describe(key));
        return;
      }
      StateBlock::Setting setting{key.text, "", key.line};
      if (!ParseSettingValue(key, &setting.value)) return;
      RenderState scratch;
      std::string why;
      if (!ApplyStateSetting(setting.key, setting.value, &scratch, &why)) Error(key.line, why);
      block.settings.push_back(std::move(setting));
    }
    effect.stateBlocks.push_back(std::move(block));
  }

  void ParseTechnique(const Token& header) {
    TechniqueDescription technique;
    technique.line = header.line;
    Token name;
    if (!ExpectName("technique", &name)) return;
    technique.name = name.text;
    for (const TechniqueDescription& other : effect.techniques) {
      if (other.name == technique.name) {
        Error(header.line, "technique '" + technique.name + "' is already defined on line " + std::to_string(other.line));
      }
    }
    if (!Expect("{", "to open technique '" + technique.name + "'")) return;
    std::vector<std::vector<PassItem>> items;
    for (;;) {
      const Token token = Next();
      if (token.kind == Token::Punct && token.text == "}") break;
      if (token.kind != Token::Word || token.text != "pass") {
        if (!failed) Fail(token.line, "expected 'pass' or '}' in technique '" + technique.name + "', found " + Describe(token));
        return;
      }
      PassDescription pass;
      pass.line = token.line;
      Token passName;
      if (!ExpectName("pass", &passName)) return;
      pass.name = passName.text;
      for (const PassDescription& other : technique.passes) {
        if (other.name == pass.name) {
          Error(token.line, "pass '" + pass.name + "' is already defined on line " + std::to_string(other.line));
        }
      }
      if (!Expect("{", "to open pass '" + pass.name + "'")) return;
      std::vector<PassItem> itemsOfPass;
      for (;;) {
        const Token key = Next();
        if (key.kind == Token::Punct && key.text == "}") break;
        if (key.kind != Token::Word) {
          if (!failed) Fail(key.line, "expected a setting or '}' in pass '" + pass.name + "', found " + Describe(key));
          return;
        }
        PassItem item{key.text, "", key.line};
        if (!ParseSettingValue(key, &item.value)) return;
        itemsOfPass.push_back(std::move(item));
      }
      technique.passes.push_back(std::move(pass));
      items.push_back(std::move(itemsOfPass));
    }
    if (technique.passes.empty()) Error(header.line, "technique '" + technique.name + "' has no pass");
    effect.techniques.push_back(std::move(technique));
    passItems.push_back(std::move(items));
  }

  void ResolvePasses() {
    for (size_t t = 0; t < effect.techniques.size(); ++t) {
      for (size_t p = 0; p < effect.techniques[t].passes.size(); ++p) {
        ResolvePass(&effect.techniques[t].passes[p], passItems[t][p]);
      }
    }
  }

  void ResolvePass(PassDescription* pass, const std::vector<PassItem>& items) {
    for (const PassItem& item : items) {
      if (item.key == "vertex" || item.key == "fragment") {
        const ShaderStage stage = item.key == "vertex" ? ShaderStage::Vertex : ShaderStage::Fragment;
        std::string& target = stage == ShaderStage::Vertex ? pass->vertexBlock : pass->fragmentBlock;
        if (!target.empty()) Error(item.line, "pass '" + pass->name + "' names its " + item.key + " block twice");
        target = item.value;
        if (!FindCodeBlock(effect, stage, item.value)) {
          Error(item.line, "no " + item.key + " block named '" + item.value + "'");
        }
      } else if (item.key == "state") {
        std::string name;
        for (size_t i = 0; i <= item.value.size(); ++i) {
          if (i < item.value.size() && item.value[i] != ' ' && item.value[i] != ',') {
            name += item.value[i];
            continue;
          }
          if (!name.empty()) ApplyStateBlock(pass, name, item.line);
          name.clear();
        }
      } else {
        std::string why;
        if (!ApplyStateSetting(item.key, item.value, &pass->state, &why)) Error(item.line, why);
      }
    }
    if (pass->vertexBlock.empty()) Error(pass->line, "pass '" + pass->name + "' names no vertex block");
    if (pass->fragmentBlock.empty()) Error(pass->line, "pass '" + pass->name + "' names no fragment block");
  }

  void ApplyStateBlock(PassDescription* pass, const std::string& name, uint32_t line) {
    for (const StateBlock& block : effect.stateBlocks) {
      if (block.name != name) continue;
      pass->stateBlocks.push_back(name);
      // Values were checked where the block was read.
      for (const StateBlock::Setting& setting : block.settings) ApplyStateSetting(setting.key, setting.value, &pass->state, nullptr);
      return;
    }
    Error(line, "no state block named '" + name + "'");
  }

  // Finds "uniform TYPE NAME [= init] [, NAME ...];" declarations in the shared blocks.
  void ScanUniforms() {
    for (const CodeBlock& block : effect.sharedBlocks) {
      std::vector<Token> tokens = GlslTokens(block);
      for (size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i].text != "uniform") continue;
        size_t at = i + 1;
        while (at < tokens.size() && (tokens[at].text == "lowp" || tokens[at].text == "mediump" || tokens[at].text == "highp")) ++at;
        if (at + 1 >= tokens.size()) {
          Error(tokens[i].line, "incomplete uniform declaration");
          return;
        }
        const Token& type = tokens[at];
        if (tokens[at + 1].text == "{") {
          Error(type.line, "uniform block '" + type.text + "' is not supported; declare plain uniforms");
          continue;
        }
        UniformType uniformType = UniformType::Float;
        const bool knownType = ParseUniformType(type.text, &uniformType);
        if (!knownType) {
          Error(type.line, "uniform type '" + type.text + "' is not supported (float, int, vec2, vec3, vec4, mat4, sampler2D)");
        }
        for (at = at + 1; at < tokens.size(); ++at) {
          const Token& name = tokens[at];
          if (name.kind != Token::Word) {
            Error(name.line, "expected a uniform name, found '" + name.text + "'");
            break;
          }
          ++at;
          if (at < tokens.size() && tokens[at].text == "[") {
            Error(name.line, "uniform '" + name.text + "' is an array; arrays are not supported");
          }
          int parens = 0;
          while (at < tokens.size() && !(parens == 0 && (tokens[at].text == "," || tokens[at].text == ";"))) {
            if (tokens[at].text == "(") ++parens;
            if (tokens[at].text == ")") --parens;
            ++at;
          }
          if (knownType) AddUniform(name, uniformType);
          if (at >= tokens.size() || tokens[at].text == ";") break;
        }
        i = at;
      }
    }
  }

  void AddUniform(const Token& name, UniformType type) {
    for (const UniformDeclaration& other : effect.uniforms) {
      if (other.name == name.text) {
        Error(name.line, "uniform '" + name.text + "' is already declared on line " + std::to_string(other.line));
        return;
      }
    }
    effect.uniforms.push_back({name.text, type, name.line});
  }

  static bool ParseUniformType(const std::string& text, UniformType* type) {
    static const std::pair<const char*, UniformType> kTypes[] = {
        {"float", UniformType::Float}, {"int", UniformType::Int},   {"vec2", UniformType::Vec2},
        {"vec3", UniformType::Vec3},   {"vec4", UniformType::Vec4}, {"mat4", UniformType::Mat4},
        {"sampler2D", UniformType::Sampler2D},
    };
    for (const auto& [name, value] : kTypes) {
      if (text == name) {
        *type = value;
        return true;
      }
    }
    return false;
  }

  // Words and single punctuation characters of GLSL code, without comments and preprocessor lines.
  static std::vector<Token> GlslTokens(const CodeBlock& block) {
    std::vector<Token> tokens;
    const std::string& code = block.code;
    uint32_t codeLine = block.firstLine;
    bool lineStart = true;
    for (size_t i = 0; i < code.size();) {
      const char c = code[i];
      if (c == '\n') {
        ++codeLine;
        lineStart = true;
        ++i;
      } else if (std::isspace(static_cast<unsigned char>(c))) {
        ++i;
      } else if (code.compare(i, 2, "//") == 0 || (lineStart && c == '#')) {
        while (i < code.size() && code[i] != '\n') ++i;
      } else if (code.compare(i, 2, "/*") == 0) {
        i += 2;
        while (i < code.size() && code.compare(i, 2, "*/") != 0) {
          if (code[i] == '\n') ++codeLine;
          ++i;
        }
        i += 2;
      } else {
        lineStart = false;
        Token token;
        token.line = codeLine;
        if (IsWordChar(c)) {
          const size_t start = i;
          while (i < code.size() && (IsWordChar(code[i]) || code[i] == '.')) ++i;
          token.kind = std::isdigit(static_cast<unsigned char>(c)) ? Token::Punct : Token::Word;
          token.text = code.substr(start, i - start);
        } else {
          token.kind = Token::Punct;
          token.text = std::string(1, c);
          ++i;
        }
        tokens.push_back(std::move(token));
      }
    }
    return tokens;
  }

  const std::string& text;
  const std::string& source;
  EffectDescription& effect;
  std::string* errors;
  const SharedFileReader& readSharedFile;
  uint32_t sharedFiles = 0;
  size_t pos = 0;
  uint32_t line = 1;
  bool failed = false;
  bool hadError = false;
  std::vector<std::vector<std::vector<PassItem>>> passItems;  // [technique][pass]
};

// Renames the identifier main so a wrapper can call it.
std::string RenameMain(const std::string& code, const std::string& newName) {
  std::string result;
  result.reserve(code.size() + 32);
  for (size_t i = 0; i < code.size();) {
    if (IsWordChar(code[i])) {
      const size_t start = i;
      while (i < code.size() && IsWordChar(code[i])) ++i;
      const std::string word = code.substr(start, i - start);
      result += word == "main" ? newName : word;
    } else {
      result += code[i++];
    }
  }
  return result;
}

}  // namespace

bool ParseEffect(const std::string& text, const std::string& sourceName, EffectDescription* effect,
                 std::string* errors, const SharedFileReader& readSharedFile) {
  *effect = EffectDescription();
  effect->sourceName = sourceName;
  Parser parser(text, sourceName, effect, errors, readSharedFile);
  return parser.Run();
}

const std::string& SourceNameOf(const EffectDescription& effect, uint32_t sourceNumber) {
  for (const CodeBlock& block : effect.sharedBlocks) {
    if (sourceNumber != 0 && block.sourceNumber == sourceNumber) return block.fileName;
  }
  return effect.sourceName;
}

const CodeBlock* FindCodeBlock(const EffectDescription& effect, ShaderStage stage, const std::string& name) {
  const std::vector<CodeBlock>& blocks = stage == ShaderStage::Vertex ? effect.vertexBlocks : effect.fragmentBlocks;
  for (const CodeBlock& block : blocks) {
    if (block.name == name) return &block;
  }
  return nullptr;
}

std::string BuildStageSource(const EffectDescription& effect, const CodeBlock& block, ShaderStage stage,
                             bool depthRemap) {
  // From GLSL 3.30 on, "#line N" gives the line after it the number N.
  std::string source = "#version 330 core\n";
  for (const CodeBlock& shared : effect.sharedBlocks) {
    source += "#line " + std::to_string(shared.firstLine) + " " + std::to_string(shared.sourceNumber) + "\n" +
              shared.code + "\n";
  }
  source += "#line " + std::to_string(block.firstLine) + " 0\n";
  if (stage == ShaderStage::Vertex && depthRemap) {
    source += RenameMain(block.code, "effect_vertex_main");
    source +=
        "\nvoid main() {\n"
        "  effect_vertex_main();\n"
        "  gl_Position.z = 2.0 * gl_Position.z - gl_Position.w;\n"
        "}\n";
  } else {
    source += block.code + "\n";
  }
  return source;
}

bool ParseCompilerMessage(const std::string& logLine, uint32_t* line, std::string* message, uint32_t* sourceNumber) {
  // Mesa: "0:12(5): error: ...", NVIDIA: "0(12) : error C0000: ...", others: "ERROR: 0:12: ...".
  static const std::regex kMesa(R"(^\s*(\d+):(\d+)\(\d+\):\s*(.*)$)");
  static const std::regex kNvidia(R"(^\s*(\d+)\((\d+)\)\s*:\s*(.*)$)");
  static const std::regex kPrefixed(R"(^\s*(ERROR|WARNING|error|warning):\s*(\d+):(\d+):\s*(.*)$)");
  std::smatch match;
  std::string source;
  if (std::regex_match(logLine, match, kMesa) || std::regex_match(logLine, match, kNvidia)) {
    source = match[1].str();
    *line = static_cast<uint32_t>(std::stoul(match[2].str()));
    *message = match[3].str();
  } else if (std::regex_match(logLine, match, kPrefixed)) {
    std::string severity = match[1].str();
    for (char& c : severity) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    source = match[2].str();
    *line = static_cast<uint32_t>(std::stoul(match[3].str()));
    *message = severity + ": " + match[4].str();
  } else {
    return false;
  }
  if (sourceNumber != nullptr) *sourceNumber = static_cast<uint32_t>(std::stoul(source));
  return true;
}

}  // namespace Platform
