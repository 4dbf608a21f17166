#include "viewer/environment_catalog.h"

#include <algorithm>
#include <cctype>

namespace Viewer {
namespace {

std::string Lowered(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return char(std::tolower(c)); });
  return text;
}

}  // namespace

const std::vector<ShippedEnvironment>& ShippedEnvironments() {
  static const std::vector<ShippedEnvironment> environments = {
      {"Studio", "environments/studio.hdr"},
      {"Overcast", "environments/overcast.hdr"},
      {"Low sun", "environments/low_sun.hdr"},
  };
  return environments;
}

std::string ShippedEnvironmentFile(const std::string& name) {
  const std::string wanted = Lowered(name);
  for (const ShippedEnvironment& environment : ShippedEnvironments()) {
    const size_t slash = environment.file.rfind('/');
    const std::string stem = environment.file.substr(slash + 1, environment.file.rfind('.') - slash - 1);
    if (wanted == Lowered(environment.displayName) || wanted == stem) return environment.file;
  }
  return "";
}

}  // namespace Viewer
