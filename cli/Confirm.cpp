#include "cli/Confirm.h"

#include "cli/Engine.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>

namespace {

Terminal defaultTerminal;
Terminal* currentTerminal = &defaultTerminal;

constexpr int kAnswerSize = 4;

}  // namespace

Terminal::~Terminal() = default;

bool Terminal::inputIsTerminal()
{
    return ::isatty(STDIN_FILENO) == 1;
}

bool Terminal::outputIsTerminal()
{
    return ::isatty(STDOUT_FILENO) == 1;
}

int Terminal::readChar()
{
    return std::getchar();
}

void setTerminal(Terminal* t)
{
    currentTerminal = t != nullptr ? t : &defaultTerminal;
}

Terminal& terminal()
{
    return *currentTerminal;
}

void flushAll()
{
    // The program shows what it has captured so far before it waits for an
    // answer; otherwise the question would stay invisible.
    emitCapturedOutput();
    std::fflush(stdout);
}

int userwarningYesNo(const char* question)
{
    Terminal& t = terminal();
    if (!t.inputIsTerminal() || !t.outputIsTerminal() || !prompt)
        return 1;
    myprintf(stdout, "%s", question != nullptr ? question : "");
    myprintf(stdout, "Type 'yes', then ENTER to continue or press ENTER to abort: ");
    return ConfirmYesNo();
}

int ConfirmYesNo()
{
    flushAll();
    Terminal& t = terminal();
    char answer[kAnswerSize] = {};
    int stored = 0;
    int c = 0;
    while (stored < kAnswerSize) {
        c = t.readChar();
        if (c == EOF)
            break;
        answer[stored++] = static_cast<char>(c);
        if (c == '\n')
            break;
    }
    myprintf(stdout, "\n");
    flushAll();
    // The rest of the line is not part of this answer.
    if (c != EOF && c != '\n') {
        do {
            c = t.readChar();
        } while (c != EOF && c != '\n');
    }
    return stored == kAnswerSize && std::tolower(static_cast<unsigned char>(answer[0])) == 'y' &&
           std::tolower(static_cast<unsigned char>(answer[1])) == 'e' &&
           std::tolower(static_cast<unsigned char>(answer[2])) == 's' && answer[3] == '\n';
}

int confirmBeforeActing(const char* question)
{
    if (inputWarningFlag && prompt) {
        myprintf(stdout, "%s", question != nullptr ? question : "");
        myprintf(stdout, "Press y, then ENTER to continue or press ENTER to abort: ");
        outputWarningFlag = 1;
        return CONFIRMATION_PENDING;
    }
    dropOutputBeforeActing();
    return 0;
}

void dropOutputBeforeActing()
{
    // The caller gets only what the command prints while acting. The program
    // has no caller collecting the text: there it goes to the real output
    // now, so that what was printed before the command acts is still shown.
    if (capturedOutputSink != nullptr)
        emitCapturedOutput();
    else
        discardOutputData();
}
