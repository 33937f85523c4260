// make_track: builds a 3GPP2 test track by hand, e.g.
//   make_track --rate 22050 --seconds 10 --moov 100 --fragment 30,20 --fragment 50 --work DIR -o out.3g2
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <string>
#include <vector>

#include "tests/tools/test_files.h"
#include "tests/tools/track_builder.h"

namespace {

const char kUsage[] =
    "usage: make_track [options] -o OUT.3g2\n"
    "  --rate HZ              sampling rate (22050)\n"
    "  --seconds S            length of the ffmpeg-encoded tone (10)\n"
    "  --fake COUNT           placeholder frames instead of a real tone\n"
    "  --moov N               samples described by the movie box (all the rest when no fragment is given)\n"
    "  --fragment A,B,...     one movie fragment with runs of A, B, ... samples (repeatable)\n"
    "  --delta D              sample duration (1024)\n"
    "  --no-ftyp              leave out the ftyp box\n"
    "  --foreign-uuid         a uuid box of another extended type before the movie box\n"
    "  --own-ioed             a uuid box of extended type ioed before the movie box\n"
    "  --media-data-first     the movie box's media data before the movie box\n"
    "  --mfra                 an mfra box at the end indexing the fragments\n"
    "  --max-bitrate B        declared maximum bitrate (128000)\n"
    "  --avg-bitrate B        declared average bitrate (32000)\n"
    "  --work DIR             folder for ffmpeg's output (.)\n";

struct Options {
    uint32_t rate = 22050;
    double seconds = 10;
    long fakeCount = -1;
    long moovSamples = -1;
    std::string workDir = ".";
    std::string output;
    testtrack::TrackLayout layout;
};

uint32_t number(const std::string& text) {
    char* end = nullptr;
    unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') throw std::invalid_argument("not a number: " + text);
    return static_cast<uint32_t>(value);
}

std::vector<uint32_t> runCounts(const std::string& list) {
    std::vector<uint32_t> counts;
    std::istringstream parts(list);
    std::string part;
    while (std::getline(parts, part, ',')) counts.push_back(number(part));
    if (counts.empty()) throw std::invalid_argument("a fragment needs at least one run");
    return counts;
}

Options parse(int argc, char** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        std::string option = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) throw std::invalid_argument(option + " needs a value");
            return argv[++i];
        };
        if (option == "--rate") options.rate = number(value());
        else if (option == "--seconds") options.seconds = std::atof(value().c_str());
        else if (option == "--fake") options.fakeCount = number(value());
        else if (option == "--moov") options.moovSamples = number(value());
        else if (option == "--fragment") options.layout.fragments.push_back(runCounts(value()));
        else if (option == "--delta") options.layout.sampleDelta = number(value());
        else if (option == "--no-ftyp") options.layout.ftyp = false;
        else if (option == "--foreign-uuid") options.layout.foreignUuid = true;
        else if (option == "--own-ioed") options.layout.ownIoed = true;
        else if (option == "--media-data-first") options.layout.mediaDataFirst = true;
        else if (option == "--mfra") options.layout.mfraAtEnd = true;
        else if (option == "--max-bitrate") options.layout.maxBitrate = number(value());
        else if (option == "--avg-bitrate") options.layout.avgBitrate = number(value());
        else if (option == "--work") options.workDir = value();
        else if (option == "-o") options.output = value();
        else throw std::invalid_argument("unknown option " + option);
    }
    if (options.output.empty()) throw std::invalid_argument("no output file (-o)");
    return options;
}

uint32_t fragmentSamples(const testtrack::TrackLayout& layout) {
    testtrack::TrackLayout fragmentsOnly = layout;
    fragmentsOnly.moovSamples = 0;
    return testtrack::samplesUsed(fragmentsOnly);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        Options options = parse(argc, argv);
        testtrack::AacStream stream = options.fakeCount >= 0
                                          ? testtrack::fakeFrames(options.rate, static_cast<std::size_t>(options.fakeCount))
                                          : testtrack::encodeTone(options.rate, options.seconds, options.workDir);
        testtrack::TrackLayout& layout = options.layout;
        if (options.moovSamples >= 0) {
            layout.moovSamples = static_cast<uint32_t>(options.moovSamples);
        } else {
            uint32_t taken = fragmentSamples(layout);
            layout.moovSamples = stream.frames.size() > taken ? static_cast<uint32_t>(stream.frames.size() - taken) : 0;
        }
        std::vector<uint8_t> track = testtrack::buildTrack(stream, layout);
        testenv::writeFile(options.output, track);
        std::printf("%s: %zu bytes, %u Hz, %u samples in the movie box, %zu fragments, %u of %zu frames used\n",
                    options.output.c_str(), track.size(), static_cast<unsigned>(stream.sampleRate),
                    static_cast<unsigned>(layout.moovSamples), layout.fragments.size(),
                    static_cast<unsigned>(testtrack::samplesUsed(layout)), stream.frames.size());
        return 0;
    } catch (const std::exception& problem) {
        std::fprintf(stderr, "make_track: %s\n%s", problem.what(), kUsage);
        return 2;
    }
}
