// Firmware tasks over the adapter-initiated requests (FIB 700): the job
// descriptions of every task (100), the progress reports of a container's
// (101) or a drive's (102) tasks, the report of one task (103), the
// commands that terminate (104), suspend (105) and resume (106) one, and the
// finish of a job (110). A task a command ended still answers 103 with its
// final report for one simulated second, so that a wait for it right after
// the command sees it end instead of a task that is gone.
#include "platform/hostsim/Bytes.h"
#include "platform/hostsim/fw/ContainerTasks.h"
#include "platform/hostsim/fw/Dispatcher.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace vyn::hostsim {

namespace {

constexpr uint32_t kListAll = 100;
constexpr uint32_t kListContainer = 101;
constexpr uint32_t kListDrive = 102;
constexpr uint32_t kOneTask = 103;
constexpr uint32_t kTerminate = 104;
constexpr uint32_t kSuspend = 105;
constexpr uint32_t kResume = 106;
constexpr uint32_t kFinishJob = 110;
constexpr uint64_t kFinalReportMs = 1000;

// Reply: word 1 the status, records from payload byte 8; Size = 40 plus the
// records' bytes.
constexpr uint32_t kAccepted = 1;
constexpr uint32_t kNoSuchTask = 4;
constexpr uint32_t kFinished = 5;
constexpr uint32_t kAlreadySuspended = 6;
constexpr uint32_t kAlreadyRunning = 7;
constexpr size_t kRecords = 8;
constexpr uint16_t kSizeBase = 40;
constexpr size_t kJobBytes = 16;
constexpr size_t kReportBytes = 48;

// Report statuses.
constexpr uint32_t kRunning = ControllerState::Task::kRunning;
constexpr uint32_t kSuspended = ControllerState::Task::kSuspended;
constexpr uint32_t kDoneOk = 1;
constexpr uint32_t kDoneWithErrors = 2;
constexpr uint64_t kDefaultSeconds = 60;

using Task = ControllerState::Task;

bool finished(const Task& t) { return t.status == kDoneOk || t.status == kDoneWithErrors; }

// Ends a task for a command: it leaves the lists at once and reports its end
// for a while.
void endByCommand(Task& t, uint64_t nowMs)
{
    t.status = kDoneOk;
    t.finalUntilMs = nowMs + kFinalReportMs;
}

// Brings a running task's done count up to the simulated clock; a task that
// reaches its total ends well.
void advance(Task& t, uint64_t nowMs)
{
    if (t.status == kRunning && nowMs > t.atMs) {
        // Rounded up, so that a task without a rate of its own ends within its
        // sixty seconds whatever its total.
        const uint64_t rate = t.rate != 0 ? t.rate
                                          : std::max<uint64_t>(t.total / kDefaultSeconds + (t.total % kDefaultSeconds != 0), 1);
        // Counts come from a description: the product is taken wide and the
        // step saturates rather than wraps.
        const unsigned __int128 units = static_cast<unsigned __int128>(rate) * (nowMs - t.atMs) / 1000;
        const uint64_t step = units > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(units);
        t.done = t.done >= t.total || step >= t.total - t.done ? t.total : t.done + step;
        if (t.done >= t.total)
            t.status = kDoneOk;
    }
    t.atMs = std::max(t.atMs, nowMs);
}

void putJob(uint8_t* p, uint32_t id, const Task& t)
{
    putLe32(p + 0, id);
    putLe32(p + 4, t.job);
    putLe32(p + 8, t.object);
    putLe32(p + 12, 0);
}

void putReport(uint8_t* p, uint32_t id, const Task& t)
{
    std::memset(p, 0, kReportBytes);
    putJob(p, id, t);
    putLe32(p + 16, t.status);
    for (int half = 0; half < 2; ++half) {
        putLe32(p + 24 + 4 * half, static_cast<uint32_t>(t.total >> (32 * half)));
        putLe32(p + 32 + 4 * half, static_cast<uint32_t>(t.done >> (32 * half)));
    }
    putLe32(p + 40, t.specific[0]);
    putLe32(p + 44, t.specific[1]);
}

// Answers one task request: the records that fit the reply after `select`
// chose the tasks; one report for request 103.
void answer(FibCall& call)
{
    ControllerState& c = call.controller();
    const uint32_t request = call.word(0);
    const uint32_t argument = call.word(2);
    bool changed = false;
    for (auto& [id, task] : c.tasks) {
        const Task before = task;
        advance(task, c.clockMs);
        changed = changed || before.done != task.done || before.status != task.status;
    }
    if (changed)
        call.markChanged();
    call.clearPayload();
    uint8_t* out = call.payload() + kRecords;
    const size_t room = call.payloadSize() - kRecords;
    if (request == kOneTask) {
        auto it = c.tasks.find(argument);
        if (it == c.tasks.end()) {
            call.setWord(1, kNoSuchTask);
        } else if (finished(it->second) && c.clockMs >= it->second.finalUntilMs) {
            call.setWord(1, kFinished);
        } else {
            call.setWord(1, kAccepted);
            putReport(out, it->first, it->second);
            call.setSize(static_cast<uint16_t>(kSizeBase + kReportBytes));
            return;
        }
        call.setSize(kSizeBase);
        return;
    }
    const size_t recordBytes = request == kListAll ? kJobBytes : kReportBytes;
    size_t n = 0;
    for (const auto& [id, task] : c.tasks) {
        if (finished(task))
            continue;
        if (request == kListContainer || request == kListDrive) {
            // Drive jobs have codes below 100; container jobs from 100 on,
            // but the adapter verify (400) works on neither. A rebuild is
            // also a task of the drive it writes onto.
            const bool driveJob = task.job < 100;
            const bool containerJob = task.job >= 100 && task.job != 400;
            const bool onObject =
                task.object == argument && (request == kListDrive ? driveJob : containerJob);
            if (!onObject && !(request == kListDrive && taskWritesDrive(c, id, argument)))
                continue;
        }
        if ((n + 1) * recordBytes > room)
            break;
        if (request == kListAll)
            putJob(out + n * recordBytes, id, task);
        else
            putReport(out + n * recordBytes, id, task);
        ++n;
    }
    call.setWord(1, kAccepted);
    call.setSize(static_cast<uint16_t>(kSizeBase + n * recordBytes));
}

// The task a command names, brought up to the clock, with the reply cleared
// for its answer; null, with word 1 saying why, when there is none to act on
// (no such task, or finished already).
Task* taskToCommand(FibCall& call, uint32_t id)
{
    ControllerState& c = call.controller();
    call.clearPayload();
    call.setSize(kSizeBase);
    auto it = c.tasks.find(id);
    if (it == c.tasks.end()) {
        call.setWord(1, kNoSuchTask);
        return nullptr;
    }
    Task& task = it->second;
    advance(task, c.clockMs);
    call.markChanged();
    if (finished(task)) {
        call.setWord(1, kFinished);
        return nullptr;
    }
    return &task;
}

// Terminate, suspend or resume the task of word 2: word 1 of the reply says
// how it went. A terminated task leaves the lists.
void command(FibCall& call)
{
    const uint64_t now = call.controller().clockMs;
    const uint32_t request = call.word(0);
    Task* task = taskToCommand(call, call.word(2));
    if (task == nullptr)
        return;
    if (request == kTerminate) {
        endByCommand(*task, now);
        call.setWord(1, kAccepted);
    } else if (request == kSuspend) {
        call.setWord(1, task->status == kSuspended ? kAlreadySuspended : kAccepted);
        task->status = kSuspended;
    } else {
        call.setWord(1, task->status == kRunning ? kAlreadyRunning : kAccepted);
        task->status = kRunning;
        task->atMs = now;
    }
}

// Finishes the job of word 2 with the finish code of word 3: word 0 of the
// reply stays 0 (the request was taken), word 1 says how it went.
void finishJob(FibCall& call)
{
    const uint64_t now = call.controller().clockMs;
    const uint32_t code = call.word(3);
    Task* task = taskToCommand(call, call.word(2));
    if (task == nullptr)
        return;
    task->finishCode = code;
    endByCommand(*task, now);
    call.setWord(1, kAccepted);
}

}  // namespace

void registerTaskHandlers(Dispatcher& dispatcher)
{
    for (uint32_t request : {kListAll, kListContainer, kListDrive, kOneTask})
        dispatcher.add(HandlerKind::Aif, request, answer);
    for (uint32_t request : {kTerminate, kSuspend, kResume})
        dispatcher.add(HandlerKind::Aif, request, command);
    dispatcher.add(HandlerKind::Aif, kFinishJob, finishJob);
}

}  // namespace vyn::hostsim

namespace vyn::hostsim {

bool taskFinished(const ControllerState::Task& t) { return finished(t); }

bool advanceTasks(ControllerState& c)
{
    bool changed = false;
    for (auto& [id, task] : c.tasks) {
        const Task before = task;
        advance(task, c.clockMs);
        changed = changed || before.done != task.done || before.status != task.status;
    }
    return changed;
}

std::vector<std::vector<uint8_t>> taskProgressFibs(const std::map<uint32_t, ControllerState::Task>& before,
                                                   const ControllerState& c)
{
    // One report for each task that started, crossed a tenth of its total or
    // ended; nine reports fill a FIB.
    constexpr size_t kPerFib = (kFibSmall - kFibHeaderSize - kRecords) / kReportBytes;
    const auto tenth = [](const Task& t) { return t.total == 0 ? 0 : t.done * 10 / t.total; };
    std::vector<std::vector<uint8_t>> fibs;
    size_t n = 0;
    for (const auto& [id, task] : c.tasks) {
        auto was = before.find(id);
        const bool started = was == before.end();
        const bool reported = started || tenth(was->second) != tenth(task) ||
                              (finished(task) && !finished(was->second));
        if (!reported)
            continue;
        if (fibs.empty() || n == kPerFib) {
            std::vector<uint8_t> fib(kFibSmall);
            putLe32(fib.data() + kFibXferState, 1);
            putLe16(fib.data() + kFibCommand, 700);
            fib[kFibStructType] = 1;
            putLe16(fib.data() + kFibSenderSize, static_cast<uint16_t>(kFibSmall));
            putLe32(fib.data() + kFibHeaderSize, 2);
            fibs.push_back(std::move(fib));
            n = 0;
        }
        uint8_t* fib = fibs.back().data();
        putReport(fib + kFibHeaderSize + kRecords + n * kReportBytes, id, task);
        ++n;
        putLe16(fib + kFibSize, static_cast<uint16_t>(kSizeBase + n * kReportBytes));
    }
    return fibs;
}

bool driveHasTask(const ControllerState& c, uint32_t handle)
{
    for (const auto& [id, task] : c.tasks) {
        if (task.job >= 100 || task.object != handle)
            continue;
        // Brought up to the clock on a copy: a task whose time ran out has
        // ended although no task request looked at it since.
        Task now = task;
        advance(now, c.clockMs);
        if (now.status == kRunning || now.status == kSuspended)
            return true;
    }
    return false;
}

}  // namespace vyn::hostsim
