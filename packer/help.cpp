#include "packer/help.h"

namespace {

const char kHelp[] =
    "usage: tessaryn MUSIC.3g2 [options]\n"
    "\n"
    "Packs the music track and the side files beside it (config.txt, jacket.jpg,\n"
    "description.txt, wallpaper.jpg) into a KDDI Music File package.\n"
    "\n"
    "options (the music file comes first; each option is recognised by its prefix):\n"
    "  -o:PATH        the package to write (default: the music path ending in .kmf)\n"
    "  -mode:N        the run options as one decimal number, the sum of the mode bits\n"
    "                 below (default 14)\n"
    "  -jct:PATH      the jacket image instead of jacket.jpg beside the music file\n"
    "  -wall:PATH     the wallpaper image instead of wallpaper.jpg beside the music file\n"
    "  -chku1:NAME    names and enables ring-tone clip 1 (-chku2:, -chku3: clips 2, 3)\n"
    "  -chkufr        marks the track as free to use whole\n"
    "  -h, --help     this text\n"
    "  --version      the version line\n"
    "  --inspect KMF  checks a package's members and music track; writes nothing\n"
    "\n"
    "mode bits:\n"
    "   1  ADD_MFRA          append a fragment index for the re-cut runs\n"
    "   2  ADD_IOED          insert the ioed clip box when the track has none\n"
    "   4  CHECK_HITKEY      wait for a key at the end\n"
    "   8  REFRAGMENT        cut movie fragments anew into runs of about one second\n"
    "  16  NO_SETTINGS_FILE  do not read tessaryn.ini\n"
    "  32  FIXED_CAMOUFLAGE  cap bitrates at 48000 whatever tessaryn.ini says\n"
    "\n"
    "exit status: 0 the package was written with its music track, or --inspect found\n"
    "it sound; 1 no package, one without the music track, or the problem --inspect\n"
    "names; 2 no music file was given.\n";

}  // namespace

const char* HelpText() { return kHelp; }
