// The package as both programs know it: its members in the order the packer
// writes them, with their names and types; the 512-byte blocks they are laid
// out in; the first lines of index.txt and config.txt; and the ring-tone clips
// it can name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// ---- Blocks ----

constexpr uint32_t kBlockSize = 512;
constexpr uint32_t kIndexAreaSize = 1024;   // index.txt's header and its one text block
constexpr uint32_t kPackageEndSize = 1024;  // two zero blocks end the package

// A member's data padded with zero bytes to whole blocks.
constexpr uint64_t RoundUpToBlock(uint64_t size) { return (size + kBlockSize - 1) / kBlockSize * kBlockSize; }

// ---- Members ----

enum class MemberKind : int { End = 0, Description = 1, Music = 2, Config = 3, Jacket = 4, Wallpaper = 5 };

constexpr char kIndexName[] = "index.txt";  // the member directory, always first
constexpr char kConfigName[] = "config.txt";
constexpr char kJacketName[] = "jacket.jpg";
constexpr char kDescriptionName[] = "description.txt";
constexpr char kWallpaperName[] = "wallpaper.jpg";
constexpr char kDefaultMusicName[] = "music.3g2";  // tessaryn.ini's MUSIC_FILENAME may name it otherwise

// Longest member name: its index.txt line then stays within 63 characters.
constexpr std::size_t kMaxMemberNameLength = 31;

// The members after index.txt, in the order the packer writes them. The music
// track's member name is a setting, so its row has none.
struct MemberRow {
    MemberKind kind;
    const char* name;  // nullptr for the music track
    const char* mimeType;
};
constexpr MemberRow kMemberRows[] = {
    {MemberKind::Config, kConfigName, "text/plain"},
    {MemberKind::Music, nullptr, "audio/3gpp2"},
    {MemberKind::Jacket, kJacketName, "image/jpeg"},
    {MemberKind::Description, kDescriptionName, "text/plain"},
    {MemberKind::Wallpaper, kWallpaperName, "image/jpeg"},
};

// ---- Text members ----

// The first line of index.txt and of config.txt.
constexpr char kPackageMagicLine[] = "KDDIMU01\r\n";

// The three fixed lines of config.txt, the link URL on the second; the clip
// lines follow. With an empty URL it is the config.txt the packer writes when
// there is none.
std::string ConfigHead(const std::string& linkUrl);

// ---- Ring-tone clips ----

constexpr int kClipCount = 3;
// A clip's name in the ioed box: a 32-byte field of its bytes and then zero
// bytes, so a name keeps at most 31 bytes.
constexpr std::size_t kClipNameFieldSize = 32;
constexpr std::size_t kMaxClipNameLength = kClipNameFieldSize - 1;
