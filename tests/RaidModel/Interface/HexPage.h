#ifndef VYN_TESTS_RAIDMODEL_INTERFACE_HEXPAGE_H
#define VYN_TESTS_RAIDMODEL_INTERFACE_HEXPAGE_H

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace vyntest {

// Reads a page kept as hex text under tests/data: '#' starts a comment that
// runs to the end of its line, bytes are pairs of hex digits separated by
// blanks.
inline std::vector<unsigned char> readHexPage(const std::string& name)
{
    std::ifstream in(std::string(VYN_TEST_DATA_DIR) + "/" + name);
    if (!in)
        throw std::runtime_error("missing fixture " + name);
    std::vector<unsigned char> bytes;
    std::string line;
    while (std::getline(in, line)) {
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string word;
        while (words >> word) {
            if (word.size() != 2 || !std::isxdigit(static_cast<unsigned char>(word[0])) ||
                !std::isxdigit(static_cast<unsigned char>(word[1])))
                throw std::runtime_error("bad byte '" + word + "' in " + name);
            bytes.push_back(static_cast<unsigned char>(std::stoul(word, nullptr, 16)));
        }
    }
    return bytes;
}

}  // namespace vyntest

#endif
