#include "renderlib/base64_prefix.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <random>
#include <string>
#include <vector>


// The library exports its base64 coder but declares it only in its implementation part.
namespace tinygltf {
std::string base64_decode(std::string const& encoded);
}  // namespace tinygltf

using RenderLib::DecodeBase64Prefix;

namespace {

// The glTF library's own decoder is the yardstick: the reader must get the same bytes from any text.
void ExpectDecodedAsTheLibraryDoes(const std::string& text) {
  std::vector<unsigned char> bytes{1, 2, 3};
  DecodeBase64Prefix(text, bytes);
  const std::string expected = tinygltf::base64_decode(text);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), expected) << "'" << text << "'";
}

TEST(Base64Prefix, DecodesUpToTheFirstCharacterOutsideTheAlphabetAsTheGltfLibraryDoes) {
  for (const char* text : {"", "T", "TW", "TWE", "TWFu", "TWFuIGlz", "TWFuIGk=", "TWFuIG==", "TWFuIG=garbage",
                           "TWFu IGlz", "TWFu\nIGlz", "TW-_", "TWFuIGl\xc3\xa9", "+/+/", "////A", "AB=CD", "=AAA",
                           "TWFuIGk"}) {
    ExpectDecodedAsTheLibraryDoes(text);
  }
  std::vector<unsigned char> bytes;
  EXPECT_EQ(DecodeBase64Prefix("TWFu IGlz", bytes), 4u);
  EXPECT_EQ(DecodeBase64Prefix("TWE=", bytes), 3u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.end()), "Ma");

  // Long texts of the alphabet with now and then a character the library stops at.
  std::mt19937 random(7);
  const std::string alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  for (int round = 0; round < 200; ++round) {
    std::string text(random() % 300, 'A');
    for (char& c : text) c = alphabet[random() % alphabet.size()];
    if (round % 2 == 0 && !text.empty()) text[random() % text.size()] = "= \n\\\"%-\x80"[random() % 8];
    ExpectDecodedAsTheLibraryDoes(text);
  }
}

}  // namespace
