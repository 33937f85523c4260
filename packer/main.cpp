#include "packer/driver.h"

int main(int argc, char* argv[]) { return RunPacker(argc, argv); }
