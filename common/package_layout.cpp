#include "common/package_layout.h"

std::string ConfigHead(const std::string& linkUrl) {
    return kPackageMagicLine + linkUrl + "\r\n" + kWallpaperName + ",\r\n";
}
