#include "app/alarm_keeping.h"

#include "alarms/alarm_history_file.h"
#include "base/file_io.h"

namespace vaxo {
AlarmKeeping::AlarmKeeping(CoreHost& host, EventHub& events, LinkTiming& timing,
                           std::function<std::string()> folder, std::function<void()> look)
    : events_(events),
      timing_(timing),
      folder_(std::move(folder)),
      look_(std::move(look)),
      timer_(host.MakeTimer("alarms", [this] { look_(); })),
      dueTimer_(host.MakeTimer("alarm hysteresis", [this] { Due(); })) {}

AlarmNow AlarmKeeping::Now() const {
    return {std::chrono::system_clock::now(), timing_.Now()};
}

void AlarmKeeping::Load() {
    const std::string path = folder_() + kAlarmHistoryFileName;
    try {
        const auto text = ReadOwnFile(path, kAlarmHistoryFileLimit);
        if (!text) {
            return;
        }
        const AlarmHistoryRead read = ReadAlarmHistory(*text);
        set_ = AlarmSet(read.entries);
        if (read.linesPassedOver > 0) {
            events_.Emit(ErrorReported{"The alarm history " + path + " has " +
                                       std::to_string(read.linesPassedOver) +
                                       " lines that are no entry: they are left out"});
        }
    } catch (const FileError& error) {
        const std::string why = error.what();
        try {
            trouble_ = "The alarm history " + path + " could not be read (" + why +
                       "): it is kept as " + KeepAside(path, std::chrono::system_clock::now()) +
                       " and a new one begins";
        } catch (const FileError& renaming) {
            mayWrite_ = false;
            trouble_ = "The alarm history " + path + " could not be read (" + why +
                       ") nor set aside (" + renaming.what() + "): this run leaves it alone";
        }
        events_.Emit(ErrorReported{trouble_});
    }
}

void AlarmKeeping::Start() {
    timer_->Start(std::chrono::duration_cast<std::chrono::milliseconds>(kLookEvery));
    look_();
}

void AlarmKeeping::Stop() {
    timer_->Stop();
    dueTimer_->Stop();
}

void AlarmKeeping::Observe(AlarmKind kind,
                           const std::vector<std::pair<AlarmKey, AlarmCondition>>& conditions) {
    const AlarmNow now = Now();
    std::vector<AlarmEntry> made;
    std::vector<AlarmKey> looked;
    for (const auto& [key, condition] : conditions) {
        looked.push_back(key);
        if (auto entry = set_.Observe(key, condition, now)) {
            made.push_back(std::move(*entry));
        }
    }
    for (AlarmEntry& entry : set_.Forget(kind, looked, now.wall)) {
        made.push_back(std::move(entry));
    }
    Tell(made);
}

void AlarmKeeping::Observe(const AlarmKey& key, const AlarmCondition& condition) {
    if (auto entry = set_.Observe(key, condition, Now())) {
        Tell({*entry});
    } else {
        Tell({});
    }
}

std::optional<std::string> AlarmKeeping::Acknowledge(const AlarmKey& key, const std::string& by) {
    if (auto refused = set_.Acknowledge(key, by, std::chrono::system_clock::now())) {
        return refused;
    }
    Tell({set_.History().back()});
    return std::nullopt;
}

void AlarmKeeping::Tell(const std::vector<AlarmEntry>& entries) {
    if (!entries.empty()) {
        Save();
        for (const AlarmEntry& entry : entries) {
            events_.Emit(AlarmChanged{entry});
        }
    }
    // A condition on its way to a raise or a clear is looked at again when
    // it is due, not only at the next round.
    if (const auto due = set_.NextDue()) {
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(*due - timing_.Now());
        dueTimer_->Start(std::max(wait, std::chrono::milliseconds(100)));
    } else {
        dueTimer_->Stop();
    }
}

void AlarmKeeping::Due() {
    dueTimer_->Stop();
    look_();
}

void AlarmKeeping::Save() {
    if (!mayWrite_) {
        return;
    }
    try {
        SaveOwnFile(folder_() + kAlarmHistoryFileName, WriteAlarmHistory(set_.History()));
        saveTrouble_.clear();
    } catch (const FileError& error) {
        const bool fresh = saveTrouble_.empty();
        saveTrouble_ = error.what();
        if (fresh) {
            events_.Emit(ErrorReported{"The alarm history cannot be saved: " + saveTrouble_});
        }
    }
}

}  // namespace vaxo
