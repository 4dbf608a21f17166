#pragma once

#include <string>

// The files the programs ship in media/, named once, and how they are found.
namespace ShippedMedia {

inline constexpr const char* kMeshEffect = "drawmesh.fx";
inline constexpr const char* kPointEffect = "drawparticles.fx";
inline constexpr const char* kSplat = "SPLAT.png";

// The bronze and patina textures the aged look is laid with, each with its normal map.
inline constexpr const char* kBronzeTexture = "tex_base.jpg";
inline constexpr const char* kBronzeNormalTexture = "tex_base_NRM.jpg";
inline constexpr const char* kPatinaTexture = "tex_patina.jpg";
inline constexpr const char* kPatinaNormalTexture = "tex_patina_NRM.jpg";
inline constexpr const char* kMaterialTextures[4] = {kBronzeTexture, kBronzeNormalTexture, kPatinaTexture,
                                                     kPatinaNormalTexture};

// The path of a shipped file as the media search (Platform::FindMediaFile) finds it, or empty
// when it finds none.
std::string FindShippedFile(const char* name);

// The folder holding the shipped files, found by the mesh effect every install carries (never by
// a bare folder name); empty when the search finds none.
std::string FindShippedFolder();

// The shipped file name inside folder (as FindShippedFolder gives it), or empty when there is no
// folder.
std::string ShippedFileIn(const std::string& folder, const std::string& name);

}  // namespace ShippedMedia
