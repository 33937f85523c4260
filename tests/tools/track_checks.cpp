#include "tests/tools/track_checks.h"

#include <cstring>

#include "packer/conditioner/pieces.h"

namespace testtrack {
namespace {

constexpr std::size_t kMaxReported = 5;

struct SampleRef {
    uint64_t position;
    uint32_t size;
    std::string where;
};

// Every sample in track order with the position its offsets give it.
std::vector<SampleRef> sampleRefs(const Track& track, std::vector<std::string>& problems) {
    std::vector<SampleRef> refs;
    if (track.movie) {
        const MovieBox& movie = *track.movie;
        std::vector<uint32_t> perChunk = movie.samplesPerChunk();
        uint32_t sample = 0;
        for (std::size_t chunk = 0; chunk < perChunk.size(); ++chunk) {
            uint64_t position = movie.chunkOffsets[chunk];
            for (uint32_t i = 0; i < perChunk[chunk]; ++i, ++sample) {
                if (sample >= movie.sampleSizes.size()) {
                    problems.push_back("the chunks of the movie box hold more samples than stsz lists");
                    return refs;
                }
                refs.push_back({position, movie.sampleSizes[sample], "chunk " + std::to_string(chunk + 1) + " sample " + std::to_string(i + 1)});
                position += movie.sampleSizes[sample];
            }
        }
        if (sample != movie.sampleSizes.size()) {
            problems.push_back("the chunks of the movie box hold " + std::to_string(sample) + " samples, stsz lists " +
                               std::to_string(movie.sampleSizes.size()));
        }
    }
    for (std::size_t f = 0; f < track.fragments.size(); ++f) {
        const Fragment& fragment = track.fragments[f];
        uint64_t base = (fragment.headerFlags & 0x000001) ? fragment.baseDataOffset : fragment.offset;
        for (std::size_t r = 0; r < fragment.runs.size(); ++r) {
            const FragmentRun& run = fragment.runs[r];
            uint64_t position = base + static_cast<uint64_t>(int64_t{run.dataOffset});
            for (std::size_t i = 0; i < run.sampleSizes.size(); ++i) {
                refs.push_back({position, run.sampleSizes[i],
                                "fragment " + std::to_string(f + 1) + " run " + std::to_string(r + 1) + " sample " + std::to_string(i + 1)});
                position += run.sampleSizes[i];
            }
        }
    }
    return refs;
}

void report(std::vector<std::string>& problems, std::size_t& reported, const std::string& problem) {
    if (reported++ < kMaxReported) problems.push_back(problem);
}

}  // namespace

std::vector<uint8_t> expectedPrefix() {
    const uint8_t prefix[72] = {
        0, 0, 0, 28, 'f', 't', 'y', 'p', 'k', 'd', 'd', 'i', 0, 0, 0, 0, 'k', 'd', 'd', 'i', '3', 'g', '2', 'a', 'm', 'p', '4', '2',
        0, 0, 0, 44, 'u', 'u', 'i', 'd', 'c', 'p', 'g', 'd', 0xA8, 0x8C, 0x11, 0xD4, 0x81, 0x97, 0x00, 0x90, 0x27, 0x08, 0x77, 0x03,
        0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    return std::vector<uint8_t>(prefix, prefix + sizeof prefix);
}

std::vector<std::string> checkPrefix(const Track& track) {
    std::vector<uint8_t> prefix = expectedPrefix();
    if (track.bytes.size() < prefix.size() || std::memcmp(track.bytes.data(), prefix.data(), prefix.size()) != 0) {
        return {"the track does not begin with the 72-byte kddi/cpgd prefix"};
    }
    return {};
}

std::vector<std::string> checkSampleBytes(const Track& track, const std::vector<std::vector<uint8_t>>& frames) {
    std::vector<std::string> problems;
    std::vector<SampleRef> refs = sampleRefs(track, problems);
    if (refs.size() != frames.size()) {
        problems.push_back("the track describes " + std::to_string(refs.size()) + " samples, the input had " + std::to_string(frames.size()));
    }
    std::size_t reported = 0;
    for (std::size_t i = 0; i < refs.size() && i < frames.size(); ++i) {
        const SampleRef& ref = refs[i];
        const std::vector<uint8_t>& frame = frames[i];
        std::string where = "sample " + std::to_string(i) + " (" + ref.where + ") at " + std::to_string(ref.position);
        if (ref.size != frame.size()) {
            report(problems, reported, where + ": size " + std::to_string(ref.size) + ", the input frame has " + std::to_string(frame.size()));
        } else if (ref.position > track.bytes.size() || track.bytes.size() - ref.position < frame.size()) {
            report(problems, reported, where + ": runs past the end of the track");
        } else if (std::memcmp(track.bytes.data() + ref.position, frame.data(), frame.size()) != 0) {
            report(problems, reported, where + ": bytes differ from the input frame");
        }
    }
    if (reported > kMaxReported) problems.push_back("... " + std::to_string(reported - kMaxReported) + " more sample problems");
    return problems;
}

std::vector<std::string> checkFragmentIndex(const Track& track, uint32_t sampleDelta) {
    std::vector<std::string> problems;
    if (!track.index) return problems;
    uint32_t samplesBefore = 0;
    if (track.movie) {
        for (const auto& entry : track.movie->timeToSample) samplesBefore += entry.first;
    }
    std::vector<std::vector<uint32_t>> runStartTimes;
    for (const Fragment& fragment : track.fragments) {
        std::vector<uint32_t> times;
        for (const FragmentRun& run : fragment.runs) {
            times.push_back(samplesBefore * sampleDelta);
            samplesBefore += run.sampleCount;
        }
        runStartTimes.push_back(times);
    }
    const FragmentIndex& index = *track.index;
    if (index.closingSize != index.size) problems.push_back("mfro gives " + std::to_string(index.closingSize) + ", the mfra box is " + std::to_string(index.size));
    if (index.trackId != 1) problems.push_back("tfra names track " + std::to_string(index.trackId));
    for (std::size_t e = 0; e < index.entries.size(); ++e) {
        const IndexEntry& entry = index.entries[e];
        std::string where = "index entry " + std::to_string(e + 1) + ": ";
        std::size_t f = 0;
        while (f < track.fragments.size() && track.fragments[f].offset != entry.moofOffset) ++f;
        if (f == track.fragments.size()) {
            problems.push_back(where + "offset " + std::to_string(entry.moofOffset) + " names no moof box");
            continue;
        }
        if (entry.fragmentNumber != 1 || entry.sampleNumber != 1) problems.push_back(where + "fragment or sample number is not 1");
        if (entry.runNumber == 0 || entry.runNumber > track.fragments[f].runs.size()) {
            problems.push_back(where + "run " + std::to_string(entry.runNumber) + " is not a run of that fragment");
            continue;
        }
        uint32_t expected = runStartTimes[f][entry.runNumber - 1];
        if (entry.time != expected) {
            problems.push_back(where + "time " + std::to_string(entry.time) + ", the run starts at " + std::to_string(expected));
        }
    }
    return problems;
}

SampleLocation locateSample(const Track& track, uint32_t sample) {
    SampleLocation location;
    uint32_t first = 0;
    if (track.movie) {
        std::vector<uint32_t> perChunk = track.movie->samplesPerChunk();
        for (std::size_t chunk = 0; chunk < perChunk.size(); ++chunk) {
            if (sample < first + perChunk[chunk]) return {true, track.movie->offset, static_cast<uint32_t>(chunk + 1), sample - first + 1};
            first += perChunk[chunk];
        }
    }
    for (const Fragment& fragment : track.fragments) {
        for (std::size_t run = 0; run < fragment.runs.size(); ++run) {
            uint32_t count = fragment.runs[run].sampleCount;
            if (sample < first + count) return {true, fragment.offset, static_cast<uint32_t>(run + 1), sample - first + 1};
            first += count;
        }
    }
    return location;
}

std::vector<uint32_t> oneSecondPieces(uint32_t count, uint32_t timescale, uint32_t sampleDelta) {
    std::vector<uint32_t> pieces;
    for (uint32_t taken = 0; taken < count; taken += pieces.back()) {
        const uint32_t piece = static_cast<uint32_t>(pieces.size() + 1);
        pieces.push_back(CutOneSecond(PieceClock{timescale, sampleDelta}, piece, taken, count));
    }
    return pieces;
}

std::vector<uint32_t> runCounts(const Fragment& fragment) {
    std::vector<uint32_t> counts;
    for (const FragmentRun& run : fragment.runs) counts.push_back(run.sampleCount);
    return counts;
}

}  // namespace testtrack
