#include "packer/driver.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>
#include <optional>
#include <string>

#include "common/paths.h"
#include "packer/clip_lines.h"
#include "packer/command_line.h"
#include "packer/conditioner/conditioner.h"
#include "packer/console.h"
#include "packer/container.h"
#include "packer/file_io.h"
#include "packer/help.h"
#include "packer/package_check.h"
#include "packer/run_state.h"
#include "packer/settings.h"

namespace {

#ifndef TESSARYN_PACKER_DATE
#error "TESSARYN_PACKER_DATE (the packer's version, its build date as yyyymmdd) comes from the build"
#endif

// One literal, so that the name and the build date stay together in the
// executable, where the frontend looks for them.
const char kBanner[] = "Tessaryn (" TESSARYN_PACKER_DATE ")\n3GPP2 music track to KDDI Music File packer\n\n";
const char kUsage[] = "tessaryn InputFile.3g2\n\nplease hit any key !!";
const char kKeyPrompt[] = "please hit any key !!";

constexpr uint32_t kFirstMemberPos = kIndexAreaSize;
constexpr uint32_t kLengthShownInBytesBelow = 0x5000;  // longer inputs are shown in KB

struct Package {
    std::string path;
    OutputFile output;
    uint32_t pos = kFirstMemberPos;  // header position of the next member
};

void buildMemberTable() {
    g_run.members.clear();
    for (const MemberRow& row : kMemberRows) {
        const std::string name = row.name ? row.name : g_run.musicMemberName;
        g_run.members.push_back(MemberSlot{0, 0, "", name, row.mimeType, row.kind});
    }
    g_run.members.push_back(MemberSlot{0, 0, "", "", "", MemberKind::End});
}

MemberSlot* memberOfKind(MemberKind kind) {
    for (MemberSlot& member : g_run.members) {
        if (member.kind == kind) return &member;
    }
    return nullptr;
}

void readSettingsUnlessSwitchedOff(const char* programPath) {
    if (g_run.hasMode(ModeFlag::NO_SETTINGS_FILE)) return;
    if (readSettings(programPath) == 0) std::printf(" notice: tessaryn.ini was read\n");
}

void settleCamouflageBitrate() {
    if (g_run.hasMode(ModeFlag::FIXED_CAMOUFLAGE) || g_run.camouflageBitrate == 0) {
        g_run.camouflageBitrate = kDefaultCamouflageBitrate;
    }
}

// The music track comes from the input; the side files from the input's folder,
// unless -jct: or -wall: named them.
void resolveSourcePaths() {
    for (MemberSlot& member : g_run.members) {
        if (member.kind == MemberKind::End) break;
        member.sourcePath =
            member.kind == MemberKind::Music ? g_run.inputPath : SiblingPath(g_run.inputPath, member.name);
    }
    if (g_run.jacketPath) memberOfKind(MemberKind::Jacket)->sourcePath = *g_run.jacketPath;
    if (g_run.wallpaperPath) memberOfKind(MemberKind::Wallpaper)->sourcePath = *g_run.wallpaperPath;
}

// Creating the package empties an existing file, so a package path that names
// one of the sources (under any name) would destroy that source before it is read.
bool packageWouldReplaceASource(const std::string& packagePath) {
    std::optional<FileIdentity> package = identityOfPath(packagePath);
    if (!package) return false;
    for (const MemberSlot& member : g_run.members) {
        if (member.kind == MemberKind::End) break;
        std::optional<FileIdentity> source = identityOfPath(member.sourcePath);
        if (source && *source == *package) return true;
    }
    return false;
}

bool isThePackage(const InputFile& input, const OutputFile& output) {
    std::optional<FileIdentity> inputIdentity = input.identity();
    std::optional<FileIdentity> outputIdentity = output.identity();
    return inputIdentity && outputIdentity && *inputIdentity == *outputIdentity;
}

void reportError(const std::string& path) { std::printf("  error: %s\n", path.c_str()); }

void reportInput(const std::string& path, uint32_t length) {
    if (length < kLengthShownInBytesBelow) {
        std::printf("  input: %s (%lubytes)\n", path.c_str(), static_cast<unsigned long>(length));
    } else {
        std::printf("  input: %s (%luKB)\n", path.c_str(), static_cast<unsigned long>(length / 1024));
    }
}

void writeBlockPadding(OutputFile& output, uint32_t size) {
    uint32_t used = size % kBlockSize;
    if (used != 0) output.writeZeros(kBlockSize - used);
}

// Once a member's data is in place: its header, with the size it ended up
// with, and the position of the next member.
void closeMember(Package& package, MemberSlot& member) {
    const uint32_t size = static_cast<uint32_t>(member.size);
    writeMemberHeader(package.output, member.name, package.pos, size);
    member.offset = static_cast<int32_t>(package.pos - kFirstMemberPos);
    package.pos += kBlockSize + static_cast<uint32_t>(RoundUpToBlock(size));
}

void storeDefaultConfig(Package& package, MemberSlot& member) {
    std::printf("created: %s\n", member.sourcePath.c_str());
    package.output.seek(uint64_t{package.pos} + kBlockSize);
    const std::string config = ConfigHead("");
    package.output.write(config.data(), config.size());
    writeBlockPadding(package.output, static_cast<uint32_t>(config.size()));
    member.size = static_cast<int32_t>(config.size());
    closeMember(package, member);
}

// One read of the whole source into the WorkBuffer and one write of it. False
// when the source could not be read (reported).
bool copyPlain(Package& package, InputFile& input, MemberSlot& member) {
    uint32_t size = static_cast<uint32_t>(member.size);
    uint8_t* buffer = g_run.workBuffer.get();
    if (!input.read(buffer, size)) {
        reportError(member.sourcePath);
        return false;
    }
    package.output.write(buffer, size);
    if (member.kind == MemberKind::Config) parseClipLines(buffer, size);
    writeBlockPadding(package.output, size);
    return true;
}

const char* NoticeText(TrackNotice notice) {
    switch (notice) {
        case TrackNotice::NoMusicTrack: return "no AAC track in the movie box; it is kept as it is";
        case TrackNotice::TablesUnusable: return "music chunks kept as they are: the sample tables can't be rebuilt";
        case TrackNotice::SamplesApart: return "music chunks kept as they are: other data lies between the samples";
    }
    return "";
}

// The track passes through the conditioner; a track it can't condition is copied
// as it came. False when the source could not be read (reported).
bool storeMusic(Package& package, InputFile& input, MemberSlot& member) {
    uint32_t dataPos = package.pos + kBlockSize;
    const ConditionedTrack track = ConditionMusicTrack(input, package.output, dataPos);
    if (track.outcome != TrackOutcome::Conditioned) {
        input.seek(0);
        package.output.seek(dataPos);
        std::printf(track.outcome == TrackOutcome::TooLarge
                        ? "  error: Atom size over (.3g2 file)\n"
                        : " notice: music track stored as it came: its chunk or run offsets can't be moved\n");
        return copyPlain(package, input, member);
    }
    for (TrackNotice notice : track.notices) std::printf(" notice: %s\n", NoticeText(notice));
    int64_t conditionedSize = int64_t{member.size} + track.change;
    if (input.failed() || conditionedSize < 0 || conditionedSize > INT32_MAX) {
        reportError(member.sourcePath);
        return false;
    }
    member.size = static_cast<int32_t>(conditionedSize);
    package.output.seek(uint64_t{dataPos} + static_cast<uint32_t>(member.size));
    writeBlockPadding(package.output, static_cast<uint32_t>(member.size));
    return true;
}

// Copies one member into the package at package.pos. A member that can't be
// had is reported and left out; only a failed write of the package ends the run
// (false).
bool packMember(Package& package, MemberSlot& member) {
    member.size = 0;
    InputFile input;
    if (!input.open(member.sourcePath)) {
        if (member.kind == MemberKind::Config) {
            storeDefaultConfig(package, member);
        } else {
            reportError(member.sourcePath);
        }
        return !package.output.failed();
    }
    if (isThePackage(input, package.output)) {
        reportError(member.sourcePath);
        return true;
    }
    if (input.length() > kMaxMemberSourceSize) {
        std::printf("  error: %s Size over (%luKB)\n", member.sourcePath.c_str(),
                    static_cast<unsigned long>(input.length() / 1024));
        return true;
    }
    uint32_t length = static_cast<uint32_t>(input.length());
    reportInput(member.sourcePath, length);
    member.size = static_cast<int32_t>(length);
    input.seek(0);
    package.output.seek(uint64_t{package.pos} + kBlockSize);

    bool stored = member.kind == MemberKind::Music ? storeMusic(package, input, member)
                                                   : copyPlain(package, input, member);
    if (package.output.failed()) return false;
    if (!stored) {
        member.size = 0;  // the next member takes this place
        return true;
    }
    closeMember(package, member);
    return true;
}

// The end blocks, then index.txt and its header at the front; the file is cut
// to its length so that nothing from an earlier, longer run can remain.
bool finishPackage(Package& package) {
    OutputFile& output = package.output;
    output.seek(package.pos);
    output.writeZeros(kPackageEndSize);
    std::string indexText = buildIndexText(g_run.members);
    output.seek(kBlockSize);
    output.write(indexText.data(), indexText.size());
    output.writeZeros(kBlockSize - indexText.size());
    writeMemberHeader(output, kIndexName, 0, static_cast<uint32_t>(indexText.size()));
    if (output.isRegularFile()) output.truncate(uint64_t{package.pos} + kPackageEndSize);
    return !output.failed();
}

// A package that could not be written whole is not left behind; a device
// named as the output is never removed.
void abandonPackage(Package& package, bool isRegularFile) {
    reportError(package.path);
    package.output.close();
    if (isRegularFile) removeFile(package.path);
}

// True when the package was written whole.
bool writePackage() {
    Package package;
    package.path = g_run.outputPath ? *g_run.outputPath : DefaultOutputPath(g_run.inputPath);
    std::printf(" output: %s\n", package.path.c_str());
    if (packageWouldReplaceASource(package.path) || !package.output.create(package.path)) {
        std::printf("  error: file open error (%s)\n", package.path.c_str());
        return false;
    }
    bool isRegularFile = package.output.isRegularFile();
    for (MemberSlot& member : g_run.members) {
        if (member.kind == MemberKind::End) break;
        if (!packMember(package, member)) {
            abandonPackage(package, isRegularFile);
            return false;
        }
    }
    if (!finishPackage(package) || !package.output.close()) {
        abandonPackage(package, isRegularFile);
        return false;
    }
    return true;
}

// Where the argument is, or 0 when it isn't given.
int argumentIndex(int argc, char* argv[], const char* wanted) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && std::strcmp(argv[i], wanted) == 0) return i;
    }
    return 0;
}

bool hasArgument(int argc, char* argv[], const char* wanted) { return argumentIndex(argc, argv, wanted) != 0; }

// The package named after --inspect; empty when none is.
std::string packageToInspect(int argc, char* argv[], int at) { return at + 1 < argc && argv[at + 1] ? argv[at + 1] : ""; }

void printCompleted(uint64_t startTime) {
    uint64_t elapsed = millisecondClock() - startTime;
    std::printf("\n completed. (%lu.%03lusec)\n", static_cast<unsigned long>(elapsed / 1000),
                static_cast<unsigned long>(elapsed % 1000));
}

}  // namespace

uint8_t* allocateWorkBufferWithNew(std::size_t size) { return new (std::nothrow) uint8_t[size]; }

int runPacker(int argc, char* argv[], uint8_t* (*allocateWorkBuffer)(std::size_t)) {
    resetPackerRun();  // nothing of an earlier run in this process carries over
    if (hasArgument(argc, argv, "--version")) {
        std::fwrite(kBanner, 1, std::strchr(kBanner, '\n') - kBanner + 1, stdout);
        return ExitStatus::kPackaged;
    }
    if (const int at = argumentIndex(argc, argv, "--inspect")) return CheckPackage(packageToInspect(argc, argv, at), stdout);
    g_run.workBuffer.reset(allocateWorkBuffer ? allocateWorkBuffer(kWorkBufferSize) : nullptr);
    buildMemberTable();
    std::fputs(kBanner, stdout);
    uint64_t startTime = millisecondClock();

    if (hasArgument(argc, argv, "-h") || hasArgument(argc, argv, "--help")) {
        printHelp();
        return ExitStatus::kPackaged;
    }
    if (argc < 2 || !argv[1]) {
        std::fputs(kUsage, stdout);
        waitForKey();
        return ExitStatus::kNoMusicFile;
    }
    g_run.inputPath = argv[1];
    readOptions(argc, argv);
    readSettingsUnlessSwitchedOff(argv[0]);
    settleCamouflageBitrate();
    memberOfKind(MemberKind::Music)->name = g_run.musicMemberName;
    resolveSourcePaths();

    bool written = false;
    if (g_run.workBuffer) {
        written = writePackage();
    } else {
        std::printf("  error: out of memory\n");
    }
    printCompleted(startTime);
    if (g_run.hasMode(ModeFlag::CHECK_HITKEY)) {
        std::fputs(kKeyPrompt, stdout);
        waitForKey();
    }
    std::fflush(stdout);
    return written && memberOfKind(MemberKind::Music)->size != 0 ? ExitStatus::kPackaged : ExitStatus::kNotPackaged;
}
