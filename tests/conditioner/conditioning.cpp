#include "tests/conditioner/conditioning.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>

#include "packer/conditioner/box.h"
#include "packer/conditioner/conditioner.h"
#include "tests/tools/test_files.h"

namespace conditioning {

void resetRun(uint32_t modeFlags) {
    resetPackerRun();
    g_run.modeFlags = modeFlags;
    g_run.camouflageBitrate = kDefaultCamouflageBitrate;
    g_run.workBuffer.reset(new uint8_t[kWorkBufferSize]);
}

void enableClip(int number, const char* name, uint32_t startMs, uint32_t lengthMs) {
    ClipRange& clip = g_run.clips[number - 1];
    std::snprintf(clip.name, sizeof clip.name, "%s", name);
    clip.start = startMs;
    clip.length = lengthMs;
    clip.state = ClipState::Enabled;
}

Result condition(const std::vector<uint8_t>& input, uint32_t memberDataOffset) {
    testenv::TempFolder folder("tessaryn-conditioner");
    testenv::writeFile(folder.file("in.3g2"), input);
    InputFile in;
    OutputFile out;
    EXPECT_TRUE(in.open(folder.file("in.3g2")));
    EXPECT_TRUE(out.create(folder.file("out.kmf")));
    out.writeZeros(memberDataOffset);

    Result result;
    testing::internal::CaptureStdout();
    result.shift = ConditionMusicTrack(in, out, memberDataOffset);
    std::fflush(stdout);
    result.console = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(out.close());

    std::vector<uint8_t> written = testenv::readFile(folder.file("out.kmf"));
    EXPECT_GE(written.size(), memberDataOffset);
    result.track.assign(written.begin() + memberDataOffset, written.end());
    return result;
}

std::size_t findBox(const std::vector<uint8_t>& bytes, const char* type, std::size_t from) {
    for (std::size_t at = from + 4; at + 4 <= bytes.size(); ++at) {
        if (std::memcmp(bytes.data() + at, type, 4) == 0) return at - 4;
    }
    return SIZE_MAX;
}

uint32_t u32At(const std::vector<uint8_t>& bytes, std::size_t at) { return box::readU32(bytes.data() + at); }

void putU32(std::vector<uint8_t>& bytes, std::size_t at, uint32_t value) { box::writeU32(bytes.data() + at, value); }

}  // namespace conditioning
