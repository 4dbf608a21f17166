#pragma once

#include <string>

// What a path typed into the file browser names.
enum class TypedPathKind { Empty, Folder, ModelFile, OtherFile, Missing };

struct TypedPath {
  TypedPathKind kind = TypedPathKind::Empty;
  std::string path;  // absolute and normal, without a trailing slash (but for "/")
};

// Reads text as the user means it: "~" or "~/..." from home, a relative path from currentFolder,
// surrounding spaces ignored; then looks at what is there.
TypedPath ResolveTypedPath(const std::string& text, const std::string& currentFolder, const std::string& home);

// The folder above folder ("/" stays "/").
std::string ParentFolder(const std::string& folder);
