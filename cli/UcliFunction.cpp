#include "cli/UcliFunction.h"

#include "cli/Engine.h"

#include <strings.h>

UcliFunction::UcliFunction() : adapterNumber(-1) {}

UcliFunction::~UcliFunction() = default;

int UcliFunction::loadArguments(char**, int, StorLibPlugin*)
{
    return 3;
}

int UcliFunction::loadAdapterNumberArgs(char**, int)
{
    return 4;
}

int UcliFunction::getAdapterNumber()
{
    return adapterNumber;
}

int UcliFunction::execute(StorLibPlugin*)
{
    return 4;
}

bool UcliFunction::hasName(const char*)
{
    return false;
}

void UcliFunction::menuEntry() {}

void UcliFunction::displayHelp() {}

int UcliFunction::isHidden()
{
    return 0;
}

UcliCommand::UcliCommand(const char* keyword, const char* description, Visibility visibility,
                         const char* fullMenuLine)
    : keyword_(keyword),
      description_(description),
      fullMenuLine_(fullMenuLine),
      hidden_(visibility == Hidden ? 1 : 0)
{
}

bool UcliCommand::hasName(const char* word)
{
    return word != nullptr && strcasecmp(word, keyword_) == 0;
}

void UcliCommand::menuEntry()
{
    if (fullMenuLine_ != nullptr)
        myprintf(stdout, "%s", fullMenuLine_);
    else
        myprintf(stdout, " %-24s| %s\n", keyword_, description_);
}

int UcliCommand::isHidden()
{
    return hidden_;
}
