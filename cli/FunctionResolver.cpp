#include "cli/FunctionResolver.h"

#include "cli/Engine.h"
#include "cli/UcliFunction.h"

FunctionResolver::FunctionResolver(int argc, char** argv)
    : functions_(), count_(0), argv_(argv), argc_(argc)
{
}

FunctionResolver::~FunctionResolver()
{
    for (int i = 0; i < count_; ++i)
        delete functions_[i];
}

void FunctionResolver::addFunction(UcliFunction* f)
{
    if (f == nullptr || count_ >= MAX_FUNCTIONS)
        return;
    functions_[count_++] = f;
}

UcliFunction* FunctionResolver::function(int index) const
{
    return index >= 0 && index < count_ ? functions_[index] : nullptr;
}

UcliFunction* FunctionResolver::findCommand() const
{
    if (argv_ == nullptr || argc_ < 2 || argv_[1] == nullptr)
        return nullptr;
    for (int i = 0; i < count_; ++i)
        if (functions_[i]->hasName(argv_[1]))
            return functions_[i];
    return nullptr;
}

int FunctionResolver::executeOrShowHelp(StorLibPlugin* lib)
{
    UcliFunction* command = findCommand();
    if (command == nullptr) {
        showCommandList();
        return 1;
    }
    const int r = command->loadArguments(argv_, argc_, lib);
    switch (r) {
    case 0:
        return command->execute(lib);
    case 2:
    case 6:
    case 256:
        return r;
    case 20:
        return 1;
    case 3:
        myprintf(stdout, "Invalid arguments.\n");
        if (command->isHidden() && !UCLI_DEVELOPER_MODE) {
            showCommandList();
        } else {
            myprintf(stdout, "\n");
            command->displayHelp();
        }
        return 3;
    default:
        showCommandList();
        return 1;
    }
}

int FunctionResolver::parseAdapterNumber()
{
    UcliFunction* command = findCommand();
    if (command == nullptr || command->loadAdapterNumberArgs(argv_, argc_) != 0)
        return -1;
    return command->getAdapterNumber();
}

int FunctionResolver::showHelp()
{
    UcliFunction* command = findCommand();
    if (command == nullptr) {
        showCommandList();
        return 1;
    }
    myprintf(stdout, "\n");
    command->displayHelp();
    return 1;
}

int FunctionResolver::showCommandList()
{
    myprintf(stdout, "\n");
    myprintf(stdout, "  | %s |  Version %d.%d (B%d)\n", "UCLI", 7, 31, 18856);
    myprintf(stdout, "\n");
    for (int i = 0; i < count_; ++i)
        if (!functions_[i]->isHidden() || UCLI_DEVELOPER_MODE)
            functions_[i]->menuEntry();
    myprintf(stdout, "\n");
    return 1;
}
