#ifndef VYN_TESTS_CLI_SUPPORT_FAKETERMINAL_H
#define VYN_TESTS_CLI_SUPPORT_FAKETERMINAL_H

#include <functional>
#include <string>

#include "cli/Confirm.h"

namespace vyntest {

// A terminal that answers from a string. Install it with setTerminal for the
// span of a test; with `shown`, it notes what that reports (the real output,
// say) when the first character is read.
class FakeTerminal : public Terminal {
public:
    explicit FakeTerminal(std::string input, bool terminal = true,
                          std::function<std::string()> shown = nullptr);
    bool inputIsTerminal() override { return terminal_; }
    bool outputIsTerminal() override { return terminal_; }
    int readChar() override;
    // The input not read yet.
    std::string rest() const { return input_.substr(position_); }
    int reads() const { return reads_; }

    std::string shownBeforeReading;

private:
    std::string input_;
    bool terminal_;
    std::function<std::string()> shown_;
    std::size_t position_ = 0;
    int reads_ = 0;
};

}  // namespace vyntest

#endif
