// The width and height of a JPEG image, for the jacket and wallpaper statuses.
#pragma once

#include <cstdint>
#include <optional>

#include "framework/file.h"

struct ImageSize {
    uint16_t width = 0;
    uint16_t height = 0;
};

// Walks the image's segments from its start to the first baseline frame header
// (FF C0) and takes its height and width. Nothing for a progressive image, a
// file that is not a JPEG or one cut short.
std::optional<ImageSize> ProbeJpegSize(framework::File& file);
