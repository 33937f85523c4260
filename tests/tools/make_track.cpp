// make_track: builds a 3GPP2 test track by hand from an ffmpeg-encoded tone, e.g.
//   make_track --rate 22050 --seconds 10 --moov 100 --fragment 30,20 --fragment 50 --work DIR -o out.3g2
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <sstream>
#include <stdexcept>

#include "tests/tools/testkit.h"

namespace {

const char kUsage[] =
    "usage: make_track [options] -o OUT.3g2\n"
    "  --rate HZ           sampling rate (22050)\n"
    "  --seconds S         length of the tone (10)\n"
    "  --moov N            samples held by the movie box (default: all that no fragment takes)\n"
    "  --fragment A,B,...  one movie fragment with runs of A, B, ... samples (repeatable)\n"
    "  --work DIR          folder for ffmpeg's output (.)\n";

uint32_t number(const std::string& text) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0') throw std::invalid_argument("not a number: " + text);
    return static_cast<uint32_t>(value);
}

}  // namespace

int main(int argc, char** argv) {
    try {
        uint32_t rate = 22050;
        double seconds = 10;
        long moov = -1;
        std::string work = ".", output;
        testkit::TrackLayout layout;
        for (int i = 1; i < argc; ++i) {
            const std::string option = argv[i];
            if (i + 1 >= argc) throw std::invalid_argument(option + " needs a value");
            const std::string value = argv[++i];
            if (option == "--rate") rate = number(value);
            else if (option == "--seconds") seconds = std::atof(value.c_str());
            else if (option == "--moov") moov = number(value);
            else if (option == "--work") work = value;
            else if (option == "-o") output = value;
            else if (option != "--fragment") throw std::invalid_argument("unknown option " + option);
            std::istringstream runs(option == "--fragment" ? value : "");
            if (option == "--fragment") layout.fragments.emplace_back();
            for (std::string run; std::getline(runs, run, ',');) layout.fragments.back().push_back(number(run));
        }
        if (output.empty()) throw std::invalid_argument("no output file (-o)");
        const testkit::AacStream stream = testkit::encodeTone(rate, seconds, work);
        const uint32_t inFragments = testkit::samplesUsed(layout);
        layout.moovSamples = moov >= 0 ? static_cast<uint32_t>(moov)
                                       : static_cast<uint32_t>(stream.frames.size() > inFragments ? stream.frames.size() - inFragments : 0);
        const testkit::Bytes track = testkit::buildTrack(stream, layout);
        testkit::writeFile(output, track);
        std::printf("%s: %zu bytes, %u samples in the movie box, %zu fragments, %u of %zu frames used\n", output.c_str(), track.size(),
                    static_cast<unsigned>(layout.moovSamples), layout.fragments.size(), static_cast<unsigned>(testkit::samplesUsed(layout)),
                    stream.frames.size());
        return 0;
    } catch (const std::exception& problem) {
        std::fprintf(stderr, "make_track: %s\n%s", problem.what(), kUsage);
        return 2;
    }
}
