// The file shims beneath the frontend: reading a file on disk, and replacing
// one whole without ever leaving it half-written.
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>

#include "framework/file.h"
#include "framework_test.h"
#include "tests/tools/testkit.h"

namespace {

std::string Read(const std::string& path) {
    const testkit::Bytes bytes = testkit::readFile(path);
    return std::string(bytes.begin(), bytes.end());
}

TEST(DiskFile, ReadsSeeksAndRefusesWhatItCannotOpen) {
    testkit::TempFolder folder;
    testkit::Bytes bytes(70000);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
    testkit::writeFile(folder / "song.3g2", bytes);

    framework::DiskFile file(folder / "song.3g2");
    ASSERT_TRUE(file.isOpen());
    EXPECT_EQ(file.size(), 70000u);
    uint8_t got[16];
    EXPECT_TRUE(file.seekTo(65530) && file.read(got, 10) == 10u && std::memcmp(got, &bytes[65530], 10) == 0);
    EXPECT_TRUE(file.seekTo(69995) && file.read(got, 16) == 5u && file.read(got, 16) == 0u) << "short, then none";
    EXPECT_TRUE(file.seekTo(uint64_t(1) << 40) && file.read(got, 16) == 0u);

    // The longest path accepted is 1536 bytes; extra slashes name the same file.
    const std::string name = "/song.3g2";
    const std::size_t slashes = framework::kMaxPathBytes - folder.path().size() - name.size();
    EXPECT_TRUE(framework::DiskFile(folder.path() + std::string(slashes, '/') + name).isOpen());
    EXPECT_FALSE(framework::DiskFile(folder.path() + std::string(slashes + 1, '/') + name).isOpen());
    EXPECT_FALSE(framework::DiskFile(folder.path()).isOpen());  // a folder, as on Windows
    framework::DiskFile missing(folder / "missing.3g2");
    EXPECT_FALSE(missing.isOpen());
    EXPECT_EQ(missing.read(got, 16) + missing.size(), 0u);
}

TEST(ReplaceFileContents, ThroughLinksAndNeverAFolder) {
    testkit::TempFolder folder;
    const std::string target = folder / "real/description.txt", link = folder / "description.txt";
    testkit::writeFile(target, "old");
    std::filesystem::create_symlink(target, link);
    EXPECT_TRUE(framework::ReplaceFileContents(link, "new"));
    EXPECT_EQ(Read(target), "new");
    EXPECT_TRUE(std::filesystem::is_symlink(link)) << "the link stays a link";
    EXPECT_FALSE(framework::ReplaceFileContents(folder / "real", "a folder"));
    EXPECT_TRUE(std::filesystem::is_directory(folder / "real"));

    // The temporary file's name is never longer than the file's own: a name at
    // the file system's limit, and one byte, with every other one-byte name taken.
    for (char c = 'a'; c <= 'z'; ++c) testkit::writeFile(folder / (std::string("short/") + c), "taken");
    for (const std::string& name : {std::string(255, 'n'), std::string("short/q")}) {
        testkit::writeFile(folder / name, "old");
        EXPECT_TRUE(framework::ReplaceFileContents(folder / name, "new")) << name.size();
        EXPECT_EQ(Read(folder / name), "new");
    }
}

TEST(ReplaceFileContents, AFullDiskLeavesTheOldFileAndNoOther) {
    testkit::TempFolder folder;
    testkit::writeFile(folder / "description.txt", "title,old\r\n");
    rlimit saved{}, full{};  // meanwhile writes past 8 bytes fail (EFBIG), as on a full disk
    getrlimit(RLIMIT_FSIZE, &saved);
    full = saved;
    full.rlim_cur = 8;
    void (*previous)(int) = signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &full);
    const bool replaced = framework::ReplaceFileContents(folder / "description.txt", "title,a longer new one\r\n");
    setrlimit(RLIMIT_FSIZE, &saved);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(replaced);
    EXPECT_EQ(Read(folder / "description.txt"), "title,old\r\n");
    for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
        EXPECT_EQ(entry.path().filename(), "description.txt") << "a temporary file is left";
}

TEST(ReplaceFileContents, NeverAReadOnlyFile) {
    testkit::TempFolder folder;
    const std::string file = folder / "config.txt";
    testkit::writeFile(file, "old");
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    if (access(file.c_str(), W_OK) == 0) GTEST_SKIP() << "this user (root) may write a read-only file";
    EXPECT_FALSE(framework::ReplaceFileContents(file, "new"));
    EXPECT_EQ(Read(file), "old");
}

}  // namespace
