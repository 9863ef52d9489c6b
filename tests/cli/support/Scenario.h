#ifndef VYN_TESTS_CLI_SUPPORT_SCENARIO_H
#define VYN_TESTS_CLI_SUPPORT_SCENARIO_H

#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "cli/LibraryFactory.h"
#include "common/Progress.h"
#include "common/Ret.h"

class Addr;
class System;
enum EnumLogTypeRequest : int;

namespace vyntest {

// A change of the fixture tree, made after the fixture is built.
using TreeChange = std::function<void(System&)>;

// What one test sets up for the recording libraries and what they record.
// Every library object made from it shares it, so the call log outlives the
// libraries: the program deletes its library before the test can look.
class Scenario : public std::enable_shared_from_this<Scenario> {
public:
    // A fixture of Fixtures.h; an unknown name throws std::invalid_argument.
    static std::shared_ptr<Scenario> make(const std::string& fixture);
    explicit Scenario(std::string fixture);

    const std::string& fixture() const { return fixture_; }
    // Makes a RecordingLib over this scenario at each call.
    LibraryFactory factory();
    int librariesMade() const { return librariesMade_; }
    void countLibrary() { ++librariesMade_; }

    // Applied in order after every discovery builds the fixture, so a
    // rebuilt tree (SYNC, GETXML) has them too.
    void changeTree(TreeChange change);
    void applyTreeChanges(System& root);
    // Discoveries so far, of every library of the scenario.
    int discoveries() const { return discoveries_; }

    // The answer of every later call of `operation`; Ret(0) unless chosen.
    void answer(const std::string& operation, const Ret& ret);
    // Return code -5 with firmware API status `status`.
    void failWithApiStatus(const std::string& operation, unsigned int status);
    Ret answerFor(const std::string& operation) const;

    // The text that getControllerLog hands out for `type` on a successful
    // call, in place of the canned element.
    void setControllerLog(EnumLogTypeRequest type, const std::string& text);
    // The chosen text, or the canned one: one "ControllerLog" element, with
    // the CDATA text "uart text" for type 7 and, for type 8, a last
    // attribute naming the monitor archive under the host root.
    std::string controllerLog(const Addr& addr, EnumLogTypeRequest type) const;

    // The tasks that getTasks and a logical drive's getProgress report for
    // exactly this address; none unless seeded.
    void seedTasks(const Addr& target, const std::vector<Progress>& tasks);
    // One answer per call, in order; the last one stays.
    void seedTaskRounds(const Addr& target, const std::vector<std::vector<Progress>>& rounds);
    std::vector<Progress> nextTasks(const Addr& target);

    void record(const std::string& line) { calls_.push_back(line); }
    const std::vector<std::string>& calls() const { return calls_; }
    // The calls of one operation, in order.
    std::vector<std::string> callsOf(const std::string& operation) const;
    void clearCalls() { calls_.clear(); }

    void countDiscovery() { ++discoveries_; }

private:
    std::string fixture_;
    std::vector<TreeChange> treeChanges_;
    std::map<std::string, Ret> answers_;
    std::map<int, std::string> controllerLogs_;
    std::map<std::string, std::deque<std::vector<Progress>>> tasks_;
    std::vector<std::string> calls_;
    int discoveries_ = 0;
    int librariesMade_ = 0;
};

// A task record on a target, as the controller reports it: the target's
// logical drive, if any, is the record's.
Progress task(EnumTaskType type, const Addr& target, EnumTaskState status, unsigned long percent,
              unsigned long taskID = 1);

// Addresses as the commands build them.
Addr adapterAddr(unsigned long adapter = 0);
Addr logicalDriveAddr(unsigned long id, unsigned long adapter = 0);
Addr deviceAddr(unsigned long channel, unsigned long device, unsigned long adapter = 0);

// The ids of an address that are set, as "adapter=0,channel=1,device=2".
std::string describeAddress(const Addr& addr);

}  // namespace vyntest

#endif
