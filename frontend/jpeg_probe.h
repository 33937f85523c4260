// The width and height of a JPEG image, for the jacket and wallpaper statuses.
#pragma once

#include <cstdint>

#include "framework/file.h"

// Walks the image's segments from its start to the first baseline frame header
// (FF C0) and takes its height and width. `width` and `height` are written only
// when that header is found, so a progressive image, a file that is not a JPEG
// or one cut short keeps the caller's values.
void ProbeJpegSize(framework::File& file, uint16_t& width, uint16_t& height);
