#ifndef VYN_CLI_FUNCTIONRESOLVER_H
#define VYN_CLI_FUNCTIONRESOLVER_H

class StorLibPlugin;
class UcliFunction;

// The commands of one command line. It owns the registered command objects.
class FunctionResolver {
public:
    static constexpr int MAX_FUNCTIONS = 200;

    FunctionResolver(int argc, char** argv);
    ~FunctionResolver();
    FunctionResolver(const FunctionResolver&) = delete;
    FunctionResolver& operator=(const FunctionResolver&) = delete;

    // Takes `f` over unless it is null or the registry is full.
    void addFunction(UcliFunction* f);
    // The result code of the command named by the first command word.
    int executeOrShowHelp(StorLibPlugin* lib);
    int parseAdapterNumber();
    int showHelp();
    int showCommandList();

    int count() const { return count_; }
    UcliFunction* function(int index) const;

private:
    UcliFunction* findCommand() const;

    UcliFunction* functions_[MAX_FUNCTIONS];
    int count_;
    char** argv_;
    int argc_;
};

// A new registry for argc2/argv2 with one object of every command, in
// fnResolver (a previous registry there is destroyed).
void loadFunctions();

#endif
