#!/usr/bin/env bash
# Renders the program's images from the SVG sources in art/ into the PNG files the program
# loads (images/, icons/). The PNG files are kept in the repository, so only whoever changes
# the artwork runs this. Needs rsvg-convert (librsvg2-bin), ImageMagick's convert and the
# DejaVu fonts (fonts-dejavu-core) for the title of the background.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
art="$here/art"
images="$here/images"
icons="$here/icons/hicolor"

for tool in rsvg-convert convert; do
    command -v "$tool" >/dev/null || { echo "render.sh: $tool is missing" >&2; exit 1; }
done

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT

# PNG files without time stamps, so an unchanged image renders to the same bytes.
png_options=(-strip -define png:exclude-chunks=date,time)

# render SVG OUT [WIDTH HEIGHT]: an image with its transparency.
render() {
    local svg="$1" out="$2"
    mkdir -p "$(dirname "$out")"
    if [ $# -ge 4 ]; then
        rsvg-convert -w "$3" -h "$4" "$svg" -o "$tmp/out.png"
    else
        rsvg-convert "$svg" -o "$tmp/out.png"
    fi
    convert "$tmp/out.png" "${png_options[@]}" "PNG32:$out"
}

mkdir -p "$images"
render "$art/background.svg" "$tmp/background.png"
# The background is opaque: no alpha channel.
convert "$tmp/background.png" -background '#1b2632' -alpha remove -alpha off \
    "${png_options[@]}" "PNG24:$images/background.png"
render "$art/button-normal.svg" "$images/button-normal.png"
render "$art/button-hot.svg" "$images/button-hot.png"
render "$art/button-pressed.svg" "$images/button-pressed.png"
for caption in help minimize close; do
    render "$art/$caption.svg" "$images/$caption.png"
    render "$art/$caption-hot.svg" "$images/$caption-hot.png"
done
render "$art/button-cursor.svg" "$images/button-cursor.png"

# The menu icon strip: 15 images of 16 x 15 on the mask grey (192, 192, 192). Masks are
# all or nothing, so a pixel is kept when it is at least half covered, in its own colour;
# a kept pixel that happens to be the mask grey is nudged off it.
rsvg-convert "$art/menu-icons.svg" -o "$tmp/strip.png"
convert "$tmp/strip.png" -channel A -threshold 50% +channel \
    -fill 'rgba(191,191,191,1)' -opaque 'rgba(192,192,192,1)' \
    -background 'rgb(192,192,192)' -alpha remove -alpha off \
    "${png_options[@]}" "PNG24:$images/menu-icons.png"

# The program's icon: the small drawing on the pixel grid for 16 pixels, the full one above.
render "$art/kelvora-small.svg" "$icons/16x16/apps/kelvora.png" 16 16
for size in 22 24 32 48 64 128 256; do
    render "$art/kelvora.svg" "$icons/${size}x${size}/apps/kelvora.png" "$size" "$size"
done
mkdir -p "$icons/scalable/apps"
cp "$art/kelvora.svg" "$icons/scalable/apps/kelvora.svg"

echo "Rendered into $images and $icons"
