#include "platform/hostsim/Simulator.h"

#include <stdexcept>

namespace vyn::hostsim {

Simulator::Simulator(const std::string& descriptionText, const std::string& source)
    : io_(std::make_unique<SimHostIo>(descriptionText, source))
{
}

Simulator::Simulator(std::unique_ptr<SimHostIo> io) : io_(std::move(io)) {}

std::unique_ptr<Simulator> Simulator::fromFile(const std::string& path)
{
    std::unique_ptr<HostIo> io = makeSimHostIo(path.c_str());
    return std::unique_ptr<Simulator>(new Simulator(std::unique_ptr<SimHostIo>(static_cast<SimHostIo*>(io.release()))));
}

Simulator::~Simulator() { uninstall(); }

void Simulator::install()
{
    if (!installed_)
        installed_ = std::make_unique<ScopedHostIo>(*io_);
}

void Simulator::uninstall() { installed_.reset(); }

ControllerState& Simulator::controller(unsigned n)
{
    ControllerState* c = io_->controller(n);
    if (c == nullptr)
        throw std::out_of_range("no simulated controller " + std::to_string(n));
    return *c;
}

std::vector<std::string> Simulator::requestLines() const
{
    std::vector<std::string> lines;
    for (const Request& r : io_->requests())
        lines.push_back(r.text());
    return lines;
}

std::vector<std::string> Simulator::nodeLines()
{
    std::vector<std::string> lines;
    for (const NodeEntry& e : io_->nodes())
        lines.push_back(e.line());
    return lines;
}

}  // namespace vyn::hostsim
