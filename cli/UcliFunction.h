#ifndef VYN_CLI_UCLIFUNCTION_H
#define VYN_CLI_UCLIFUNCTION_H

class StorLibPlugin;

// One command of the vynconf language. argv[0] is the program name and
// argv[1] the keyword. Argument loaders answer 0 valid, 2 aborted, 3 invalid,
// 6 invalid controller, 20 failure already reported, 256 confirmation pending.
class UcliFunction {
public:
    UcliFunction();
    virtual ~UcliFunction();
    UcliFunction(const UcliFunction&) = delete;
    UcliFunction& operator=(const UcliFunction&) = delete;

    virtual int loadArguments(char** argv, int argc, StorLibPlugin* lib);
    // The controller number alone, before any library exists; 0 when found.
    virtual int loadAdapterNumberArgs(char** argv, int argc);
    virtual int getAdapterNumber();
    virtual int execute(StorLibPlugin* lib);
    virtual bool hasName(const char* word);
    virtual void menuEntry();
    virtual void displayHelp();
    virtual int isHidden();

protected:
    // 0-based; -1 until the command line has named a controller.
    int adapterNumber;
};

// A command known by its keyword and its line in the command list.
class UcliCommand : public UcliFunction {
public:
    enum Visibility { Listed, Hidden };

    // `fullMenuLine`, when given, is printed instead of the usual layout.
    UcliCommand(const char* keyword, const char* description, Visibility visibility,
                const char* fullMenuLine = nullptr);

    bool hasName(const char* word) override;
    void menuEntry() override;
    int isHidden() override;

    const char* keyword() const { return keyword_; }

private:
    const char* keyword_;
    const char* description_;
    const char* fullMenuLine_;
    int hidden_;
};

#endif
