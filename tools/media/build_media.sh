#!/usr/bin/env bash
# Rebuilds the shipped media in media/: the three models with their material libraries, the
# material textures, the splat image, the GUI control texture with its rectangle header
# (framework/control_texture_layout.h), and the HDR environments (media/environments). The
# outputs are committed, so only people changing the media need this script and the tools it
# installs (Blender, numpy, Pillow).
#
# usage: tools/media/build_media.sh [SOURCE_MESH_FOLDER]
#   SOURCE_MESH_FOLDER holds bunny.obj and beethoven.obj; by default ../shared/media-src beside
#   the repository.
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
top="$(cd "$here/../.." && pwd)"
source_folder="${1:-$top/../shared/media-src}"
media="$top/media"
python=/usr/bin/python3

for mesh in bunny.obj beethoven.obj; do
  [ -f "$source_folder/$mesh" ] || { echo "build_media: no $mesh in $source_folder; pass the source mesh folder" >&2; exit 1; }
done

need=()
command -v blender >/dev/null || need+=(blender)
$python -c 'import numpy' 2>/dev/null || need+=(python3-numpy)
$python -c 'import PIL' 2>/dev/null || need+=(python3-pil)
if [ ${#need[@]} -gt 0 ]; then
  sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
  $sudo apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir -p "$media"

write_material() {  # NAME
  cat > "$media/$1.mtl" <<MTL
# Material of $1.obj; the viewer blends its own base and patina textures over the model.
newmtl $1
Ka 0.2 0.2 0.2
Kd 0.8 0.8 0.8
Ks 0.5 0.5 0.5
Ns 50
illum 2
d 1
MTL
}

echo "sphere"
$python "$here/make_sphere.py" "$media/sphere.obj"
write_material sphere

unwrap() {  # NAME DESCRIPTION [upside-down]
  echo "$1"
  blender -b --factory-startup --python "$here/unwrap_model.py" -- "$source_folder/$1.obj" "$work/$1.obj" ${3:-} >"$work/$1.log" 2>&1 ||
    { cat "$work/$1.log" >&2; exit 1; }
  $python "$here/finish_obj.py" "$work/$1.obj" "$media/$1.obj" "$1" "$2"
  write_material "$1"
}
unwrap bunny "The Stanford Bunny (Stanford Computer Graphics Laboratory), low-resolution version; 2-unit box, y up, centred at the origin"
# The source bust stands on its head, face towards -z: turned upright, it faces +z.
unwrap beethoven "A bust of Beethoven, a classic public test model; 2-unit box, y up, centred at the origin" upside-down

echo "textures"
$python "$here/make_textures.py" "$media"
mkdir -p "$media/looks"
$python "$here/make_look_textures.py" "$media/looks"

echo "environments"
$python "$here/make_environments.py" "$media/environments"

echo "control texture"
$python "$here/make_control_texture.py" --png "$media/ui_controls.png" --header "$top/framework/control_texture_layout.h"

for model in sphere bunny beethoven; do
  $python "$here/check_uv_layout.py" "$media/$model.obj"
done
