#ifndef VYN_CLI_CONFIRM_H
#define VYN_CLI_CONFIRM_H

// What the prompts ask of the terminal. The default checks isatty and reads
// the real standard input; tests install their own to feed answers.
class Terminal {
public:
    virtual ~Terminal();
    virtual bool inputIsTerminal();
    virtual bool outputIsTerminal();
    // The next input character, or EOF.
    virtual int readChar();
};

// Null brings the default back.
void setTerminal(Terminal* terminal);
Terminal& terminal();

// 1 to go on, 0 to abort; 1 without asking when there is nobody at a
// terminal or prompting is off.
int userwarningYesNo(const char* question);
// 1 only for "yes" (any case) followed by ENTER.
int ConfirmYesNo();
void flushAll();

// Returned by a command that printed its question and did nothing else.
constexpr int CONFIRMATION_PENDING = 256;

// The two-phase rule at the point where a command would act: when the caller
// asked for warnings and prompting is on, prints `question` and the request
// to confirm, marks the warning pending and returns CONFIRMATION_PENDING;
// otherwise drops the text captured so far (the program shows it instead) and
// returns 0, and the command acts.
int confirmBeforeActing(const char* question);
// The second half of that rule alone, for a command about to act without a
// question: the caller gets only what is printed from here on.
void dropOutputBeforeActing();

#endif
