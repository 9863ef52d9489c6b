#include "listener/AenDaemon.h"
#include "platform/cim/System.h"

int main(int argc, char** /*argv*/)
{
    cimxml::globalInit();
    return daemonize(argc == 2 ? 1 : 0);
}
