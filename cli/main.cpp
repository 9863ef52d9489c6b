#include "RaidLib/StorLib.h"
#include "cli/Vynconf.h"

int main(int argc, char** argv)
{
    StorLibInit library;
    const std::vector<std::string> words(argv, argv + argc);
    return runVynconf(words, createStorageLibrary, stdout);
}
