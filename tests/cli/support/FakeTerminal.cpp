#include "cli/support/FakeTerminal.h"

#include <cstdio>
#include <utility>

namespace vyntest {

FakeTerminal::FakeTerminal(std::string input, bool terminal, std::function<std::string()> shown)
    : input_(std::move(input)), terminal_(terminal), shown_(std::move(shown))
{
}

int FakeTerminal::readChar()
{
    if (shown_ && reads_ == 0)
        shownBeforeReading = shown_();
    ++reads_;
    if (position_ >= input_.size())
        return EOF;
    return static_cast<unsigned char>(input_[position_++]);
}

}  // namespace vyntest
