#include "packer/driver.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "common/paths.h"
#include "packer/base/clip_range.h"
#include "packer/base/container.h"
#include "packer/base/files.h"
#include "packer/base/options.h"
#include "packer/clip_lines.h"
#include "packer/command_line.h"
#include "packer/conditioner/conditioner.h"
#include "packer/console.h"
#include "packer/help.h"
#include "packer/inspect/package_check.h"
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

// Everything one run holds: what it was asked to do, its clips, its members
// in package order and the WorkBuffer.
struct PackerRun {
    PackerOptions options;
    ClipRanges clips{};
    std::vector<MemberSlot> members;
    std::unique_ptr<uint8_t[]> workBuffer;
};

struct Package {
    std::string path;
    OutputFile output;
    uint32_t pos = kFirstMemberPos;  // header position of the next member
};

// ---- What the run was asked ----

void PrintCommandLineNotices(const CommandLine& line) {
    for (int clip : line.namesKeptAsGiven)
        std::printf(" notice: clip %d name can't be converted to CP932; kept as given\n", clip);
}

void ReadSettingsUnlessSwitchedOff(const char* programPath, PackerOptions& options) {
    if (options.Has(ModeFlag::NO_SETTINGS_FILE)) return;
    if (ReadSettings(programPath, options) == SettingsFile::Read) std::printf(" notice: tessaryn.ini was read\n");
}

void SettleCamouflageBitrate(PackerOptions& options) {
    if (options.Has(ModeFlag::FIXED_CAMOUFLAGE) || options.camouflageBitrate == 0)
        options.camouflageBitrate = kDefaultCamouflageBitrate;
}

// The members in package order. The music track comes from the input; the side
// files from the input's folder, unless -jct: or -wall: named them.
std::vector<MemberSlot> MemberTable(const PackerOptions& options) {
    std::vector<MemberSlot> members;
    for (const MemberRow& row : kMemberRows) {
        MemberSlot member{0, 0, "", row.name ? row.name : options.musicMemberName, row.mimeType, row.kind};
        member.sourcePath = row.kind == MemberKind::Music ? options.inputPath : SiblingPath(options.inputPath, member.name);
        if (row.kind == MemberKind::Jacket && options.jacketPath) member.sourcePath = *options.jacketPath;
        if (row.kind == MemberKind::Wallpaper && options.wallpaperPath) member.sourcePath = *options.wallpaperPath;
        members.push_back(member);
    }
    return members;
}

const MemberSlot* MemberOfKind(const std::vector<MemberSlot>& members, MemberKind kind) {
    for (const MemberSlot& member : members) {
        if (member.kind == kind) return &member;
    }
    return nullptr;
}

// ---- One member ----

// Creating the package empties an existing file, so a package path that names
// one of the sources (under any name) would destroy that source before it is read.
bool PackageWouldReplaceASource(const std::string& packagePath, const std::vector<MemberSlot>& members) {
    std::optional<FileIdentity> package = IdentityOfPath(packagePath);
    if (!package) return false;
    for (const MemberSlot& member : members) {
        std::optional<FileIdentity> source = IdentityOfPath(member.sourcePath);
        if (source && *source == *package) return true;
    }
    return false;
}

bool IsThePackage(const InputFile& input, const OutputFile& output) {
    std::optional<FileIdentity> inputIdentity = input.Identity();
    std::optional<FileIdentity> outputIdentity = output.Identity();
    return inputIdentity && outputIdentity && *inputIdentity == *outputIdentity;
}

enum class Source { Opened, Missing, IsThePackage, TooLarge };

Source OpenSource(InputFile& input, const MemberSlot& member, const OutputFile& package) {
    if (!input.Open(member.sourcePath)) return Source::Missing;
    if (IsThePackage(input, package)) return Source::IsThePackage;
    return input.Length() > kMaxMemberSourceSize ? Source::TooLarge : Source::Opened;
}

void PrintError(const std::string& path) { std::printf("  error: %s\n", path.c_str()); }

void PrintInput(const std::string& path, uint64_t length) {
    if (length < kLengthShownInBytesBelow) {
        std::printf("  input: %s (%lubytes)\n", path.c_str(), static_cast<unsigned long>(length));
    } else {
        std::printf("  input: %s (%luKB)\n", path.c_str(), static_cast<unsigned long>(length / 1024));
    }
}

void WriteBlockPadding(OutputFile& output, uint32_t size) {
    uint32_t used = size % kBlockSize;
    if (used != 0) output.WriteZeros(kBlockSize - used);
}

// Once a member's data is in place: its header, with the size it ended up
// with, and the position of the next member.
void CloseMember(Package& package, MemberSlot& member) {
    const uint32_t size = static_cast<uint32_t>(member.size);
    WriteMemberHeader(package.output, member.name, package.pos, size);
    member.offset = static_cast<int32_t>(package.pos - kFirstMemberPos);
    package.pos += kBlockSize + static_cast<uint32_t>(RoundUpToBlock(size));
}

void StoreDefaultConfig(Package& package, MemberSlot& member) {
    package.output.Seek(uint64_t{package.pos} + kBlockSize);
    const std::string config = ConfigHead("");
    package.output.Write(config.data(), config.size());
    WriteBlockPadding(package.output, static_cast<uint32_t>(config.size()));
    member.size = static_cast<int32_t>(config.size());
    CloseMember(package, member);
}

enum class Copy { Done, Unreadable };

// One read of the whole source into the WorkBuffer and one write of it;
// config.txt's clip lines time the run's clips.
Copy CopyPlain(PackerRun& run, Package& package, InputFile& input, MemberSlot& member) {
    uint32_t size = static_cast<uint32_t>(member.size);
    uint8_t* buffer = run.workBuffer.get();
    if (!input.Read(buffer, size)) return Copy::Unreadable;
    package.output.Write(buffer, size);
    if (member.kind == MemberKind::Config) ReadClipLines(buffer, size, run.clips);
    WriteBlockPadding(package.output, size);
    return Copy::Done;
}

struct MusicCopy {
    Copy copy = Copy::Done;
    TrackReport track;
};

// The track passes through the conditioner; a track it can't condition is
// copied as it came.
MusicCopy StoreMusic(PackerRun& run, Package& package, InputFile& input, MemberSlot& member) {
    const uint32_t dataPos = package.pos + kBlockSize;
    MusicCopy stored;
    stored.track = ConditionMusicTrack(run.options, run.clips, input, package.output, dataPos, run.workBuffer.get());
    if (stored.track.outcome == TrackOutcome::TooLarge || stored.track.outcome == TrackOutcome::OffsetsStuck) {
        input.Seek(0);
        package.output.Seek(dataPos);
        stored.copy = CopyPlain(run, package, input, member);
        return stored;
    }
    const int64_t conditionedSize = int64_t{member.size} + stored.track.change;
    if (stored.track.outcome == TrackOutcome::Unreadable || input.Failed() || conditionedSize < 0 ||
        conditionedSize > INT32_MAX) {
        stored.copy = Copy::Unreadable;
        return stored;
    }
    member.size = static_cast<int32_t>(conditionedSize);
    package.output.Seek(uint64_t{dataPos} + static_cast<uint32_t>(member.size));
    WriteBlockPadding(package.output, static_cast<uint32_t>(member.size));
    return stored;
}

const char* NoticeText(TrackNotice notice) {
    switch (notice) {
        case TrackNotice::NoMusicTrack: return "no AAC track in the movie box; it is kept as it is";
        case TrackNotice::TablesUnusable: return "music chunks kept as they are: the sample tables can't be rebuilt";
        case TrackNotice::SamplesApart: return "music chunks kept as they are: other data lies between the samples";
    }
    return "";
}

const char* KeptText(FragmentKept reason) {
    switch (reason) {
        case FragmentKept::SeveralTrackFragments: return "several track fragments";
        case FragmentKept::Encrypted: return "encrypted samples";
        case FragmentKept::OverWorkBuffer: return "too large to re-cut in the 6 MB work buffer";
        case FragmentKept::RunsUnreadable: return "runs that can't be read";
        case FragmentKept::BoxBetweenRuns: return "a box between the runs";
        case FragmentKept::SamplesApart: return "other data between the samples";
    }
    return "";
}

// " notice: fragment 3 kept as it came (...)" or " notice: fragments 4 to 9 kept as they came (...)".
void PrintKeptFragments(const KeptFragments& kept) {
    if (kept.first == kept.last) {
        std::printf(" notice: fragment %lu kept as it came (%s)\n", static_cast<unsigned long>(kept.first), KeptText(kept.reason));
    } else {
        std::printf(" notice: fragments %lu to %lu kept as they came (%s)\n", static_cast<unsigned long>(kept.first),
                    static_cast<unsigned long>(kept.last), KeptText(kept.reason));
    }
}

// The lines of what the conditioner found, in the order it found it.
struct TrackEventLine {
    void operator()(const DeclaredBitrates& declared) const {
        std::printf("max.%lubps typ.%lubps\n", static_cast<unsigned long>(declared.maximum),
                    static_cast<unsigned long>(declared.average));
    }
    void operator()(const ClipOutOfReach& clip) const {
        const char* kind = clip.kind == PieceKind::Chunk ? "chunk" : "run";
        if (clip.pastPiece255) std::printf("  error: clip %d lies beyond %s 255\n", clip.clip, kind);
        else std::printf("  error: clip %d lies beyond sample 255 of its %s\n", clip.clip, kind);
    }
    void operator()(const TrackClock& clock) const {
        std::printf("%luHz (%lusamples)\n", static_cast<unsigned long>(clock.timescale),
                    static_cast<unsigned long>(clock.sampleDelta));
    }
};

void PrintTrackReport(const TrackReport& track) {
    for (const TrackEvent& event : track.events) std::visit(TrackEventLine{}, event);
    if (track.outcome == TrackOutcome::TooLarge) std::printf("  error: Atom size over (.3g2 file)\n");
    if (track.outcome == TrackOutcome::OffsetsStuck)
        std::printf(" notice: music track stored as it came: its chunk or run offsets can't be moved\n");
    for (TrackNotice notice : track.notices) std::printf(" notice: %s\n", NoticeText(notice));
    for (const KeptFragments& kept : track.keptFragments) PrintKeptFragments(kept);
}

// A source that can't be had is left out, but for config.txt, whose default
// takes its place. False only when writing the package failed.
bool PackUnopened(Source source, Package& package, MemberSlot& member, const InputFile& input) {
    if (source == Source::TooLarge) {
        std::printf("  error: %s Size over (%luKB)\n", member.sourcePath.c_str(),
                    static_cast<unsigned long>(input.Length() / 1024));
    } else if (source == Source::Missing && member.kind == MemberKind::Config) {
        std::printf("created: %s\n", member.sourcePath.c_str());
        StoreDefaultConfig(package, member);
    } else {
        PrintError(member.sourcePath);
    }
    return !package.output.Failed();
}

Copy StoreMember(PackerRun& run, Package& package, InputFile& input, MemberSlot& member) {
    if (member.kind != MemberKind::Music) return CopyPlain(run, package, input, member);
    const MusicCopy stored = StoreMusic(run, package, input, member);
    PrintTrackReport(stored.track);
    return stored.copy;
}

// Copies one member into the package at package.pos and says what became of
// it. A member that can't be had is left out; only a failed write of the
// package ends the run (false).
bool PackMember(PackerRun& run, Package& package, MemberSlot& member) {
    member.size = 0;
    InputFile input;
    const Source source = OpenSource(input, member, package.output);
    if (source != Source::Opened) return PackUnopened(source, package, member, input);
    PrintInput(member.sourcePath, input.Length());
    member.size = static_cast<int32_t>(input.Length());
    input.Seek(0);
    package.output.Seek(uint64_t{package.pos} + kBlockSize);
    const Copy copy = StoreMember(run, package, input, member);
    if (package.output.Failed()) return false;
    if (copy == Copy::Unreadable) {
        PrintError(member.sourcePath);
        member.size = 0;  // the next member takes this place
        return true;
    }
    CloseMember(package, member);
    return true;
}

// ---- The package ----

// The end blocks, then index.txt and its header at the front; the file is cut
// to its length so that nothing from an earlier, longer run can remain.
bool FinishPackage(Package& package, const std::vector<MemberSlot>& members) {
    OutputFile& output = package.output;
    output.Seek(package.pos);
    output.WriteZeros(kPackageEndSize);
    std::string indexText = BuildIndexText(members);
    output.Seek(kBlockSize);
    output.Write(indexText.data(), indexText.size());
    output.WriteZeros(kBlockSize - indexText.size());
    WriteMemberHeader(output, kIndexName, 0, static_cast<uint32_t>(indexText.size()));
    if (output.IsRegularFile()) output.Truncate(uint64_t{package.pos} + kPackageEndSize);
    return !output.Failed();
}

enum class Written { Whole, NotCreated, Failed };

// A package that could not be written whole is not left behind; a device
// named as the output is never removed.
Written WritePackage(PackerRun& run, const std::string& path) {
    Package package;
    package.path = path;
    if (PackageWouldReplaceASource(path, run.members) || !package.output.Create(path)) return Written::NotCreated;
    const bool isRegularFile = package.output.IsRegularFile();
    bool whole = true;
    for (MemberSlot& member : run.members) {
        whole = PackMember(run, package, member);
        if (!whole) break;
    }
    whole = whole && FinishPackage(package, run.members) && package.output.Close();
    if (whole) return Written::Whole;
    package.output.Close();
    if (isRegularFile) RemoveFile(path);
    return Written::Failed;
}

Written PackAndReport(PackerRun& run) {
    const std::string path = run.options.outputPath ? *run.options.outputPath : DefaultOutputPath(run.options.inputPath);
    std::printf(" output: %s\n", path.c_str());
    const Written written = WritePackage(run, path);
    if (written == Written::NotCreated) std::printf("  error: file open error (%s)\n", path.c_str());
    if (written == Written::Failed) PrintError(path);
    return written;
}

// ---- The command line's other requests ----

// Where the argument is, or 0 when it isn't given.
int ArgumentIndex(int argc, char* argv[], const char* wanted) {
    for (int i = 1; i < argc; ++i) {
        if (argv[i] && std::strcmp(argv[i], wanted) == 0) return i;
    }
    return 0;
}

bool HasArgument(int argc, char* argv[], const char* wanted) { return ArgumentIndex(argc, argv, wanted) != 0; }

// The package named after --inspect; empty when none is.
std::string PackageToInspect(int argc, char* argv[], int at) { return at + 1 < argc && argv[at + 1] ? argv[at + 1] : ""; }

void PrintCompleted(uint64_t startTime) {
    uint64_t elapsed = MillisecondClock() - startTime;
    std::printf("\n completed. (%lu.%03lusec)\n", static_cast<unsigned long>(elapsed / 1000),
                static_cast<unsigned long>(elapsed % 1000));
}

int Status(ExitStatus status) { return static_cast<int>(status); }

// The options and clips of the command line with tessaryn.ini's keys over them,
// and the members they call for.
PackerRun RunOf(int argc, char* argv[]) {
    const CommandLine line = ReadCommandLine(argc, argv);
    PrintCommandLineNotices(line);
    PackerRun run;
    run.options = line.options;
    run.clips = line.clips;
    ReadSettingsUnlessSwitchedOff(argv[0], run.options);
    SettleCamouflageBitrate(run.options);
    run.members = MemberTable(run.options);
    return run;
}

// Writes the package, says how long it took and waits for a key when asked;
// true when the package was written whole with its music track.
bool Pack(PackerRun& run, uint64_t startTime) {
    const Written written = run.workBuffer ? PackAndReport(run) : Written::Failed;
    if (!run.workBuffer) std::printf("  error: out of memory\n");
    PrintCompleted(startTime);
    if (run.options.Has(ModeFlag::CHECK_HITKEY)) {
        std::fputs(kKeyPrompt, stdout);
        WaitForKey();
    }
    std::fflush(stdout);
    return written == Written::Whole && MemberOfKind(run.members, MemberKind::Music)->size != 0;
}

}  // namespace

uint8_t* AllocateWorkBufferWithNew(std::size_t size) { return new (std::nothrow) uint8_t[size]; }

int RunPacker(int argc, char* argv[], uint8_t* (*allocateWorkBuffer)(std::size_t)) {
    if (HasArgument(argc, argv, "--version")) {
        std::fwrite(kBanner, 1, std::strchr(kBanner, '\n') - kBanner + 1, stdout);
        return Status(ExitStatus::Packaged);
    }
    if (const int at = ArgumentIndex(argc, argv, "--inspect"))
        return static_cast<int>(CheckPackage(PackageToInspect(argc, argv, at), stdout));
    std::unique_ptr<uint8_t[]> workBuffer(allocateWorkBuffer ? allocateWorkBuffer(kWorkBufferSize) : nullptr);
    std::fputs(kBanner, stdout);
    const uint64_t startTime = MillisecondClock();
    if (HasArgument(argc, argv, "-h") || HasArgument(argc, argv, "--help")) {
        std::fputs(HelpText(), stdout);
        return Status(ExitStatus::Packaged);
    }
    if (argc < 2 || !argv[1]) {
        std::fputs(kUsage, stdout);
        WaitForKey();
        return Status(ExitStatus::NoMusicFile);
    }
    PackerRun run = RunOf(argc, argv);
    run.workBuffer = std::move(workBuffer);
    return Status(Pack(run, startTime) ? ExitStatus::Packaged : ExitStatus::NotPackaged);
}
