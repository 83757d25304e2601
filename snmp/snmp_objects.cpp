#include "snmp/snmp_objects.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

#include "app/alarm_words.h"
#include "app/health.h"
#include "base/utc_stamp.h"

namespace vaxo {
namespace {

// Below the root: the state (1), the notifications' objects (2) and the
// notifications themselves (0), as VAXO-MIB.txt declares them.
constexpr std::uint32_t kState = 1;
constexpr std::uint32_t kNotifyObjects = 2;
constexpr std::uint32_t kNotifications = 0;
constexpr std::uint32_t kFeedTable = 11;
constexpr std::uint32_t kAlarmTable = 12;

constexpr std::int64_t kNotKnown = -1;

Oid Below(std::initializer_list<std::uint32_t> arcs) {
    Oid oid = VaxoMibRoot();
    oid.insert(oid.end(), arcs);
    return oid;
}

SnmpValue Integer(std::int64_t value) {
    return {SnmpValue::Type::Integer32, value};
}
SnmpValue Gauge(std::uint64_t value) {
    return {SnmpValue::Type::Gauge32,
            static_cast<std::int64_t>(std::min<std::uint64_t>(value, 0xFFFFFFFFU))};
}
SnmpValue Counter(std::uint64_t value) {
    return {SnmpValue::Type::Counter64, static_cast<std::int64_t>(std::min<std::uint64_t>(
                                            value, std::numeric_limits<std::int64_t>::max()))};
}
// An SnmpAdminString: UTF-8, at most 255 octets, never cut inside a letter.
SnmpValue Text(std::string text) {
    if (text.size() > 255) {
        std::size_t end = 255;
        while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0U) == 0x80U) {
            --end;
        }
        text.resize(end);
    }
    return {SnmpValue::Type::Text, 0, std::move(text)};
}

// A non-negative quantity in an Integer32, -1 for none.
std::int64_t Bounded(std::optional<double> value) {
    if (!value || std::isnan(*value)) {
        return kNotKnown;
    }
    return static_cast<std::int64_t>(std::clamp(std::floor(*value), 0.0, 2147483647.0));
}

std::uint64_t PageWrites(const ProgramView& program) {
    std::uint64_t writes = 0;
    for (const auto& block : program.Ledger().Counts()) {
        for (const std::uint64_t count : block) {
            writes += count;
        }
    }
    return writes;
}

void Scalars(std::vector<SnmpObject>& out, const ProgramView& program) {
    const auto scalar = [&](std::uint32_t arc, SnmpValue value) {
        out.push_back({Below({kState, arc, 0}), std::move(value)});
    };
    scalar(1, Integer(program.Encoder().state == EncoderAnswer::State::Answering ? 1 : 0));
    scalar(2, Counter(program.SendsEnded().onAir));
    scalar(3, Counter(program.SendsEnded().failed));
    const auto& last = program.LastSendEnded();
    const auto lastSeconds =
        last ? std::chrono::floor<std::chrono::seconds>(last->at.time_since_epoch()).count() : 0;
    scalar(4,
           {SnmpValue::Type::Unsigned32, std::clamp<std::int64_t>(lastSeconds, 0, 0xFFFFFFFFLL)});
    scalar(5, Gauge(static_cast<std::uint64_t>(std::max(program.FailuresInRow(), 0))));
    scalar(6, Integer(program.Held() ? 1 : 0));
    const auto pending = FieldsNotOnAir(program);
    scalar(7, Integer(pending ? static_cast<std::int64_t>(pending->Count()) : kNotKnown));
    scalar(8, Counter(PageWrites(program)));
    const auto years = program.WearYearsLeft();
    scalar(9, Integer(Bounded(years ? std::optional(*years * 100) : std::nullopt)));
    scalar(10, Gauge(program.Alarms().Active().size()));
}

void FeedTable(std::vector<SnmpObject>& out, const ProgramView& program,
               std::chrono::system_clock::time_point now) {
    const auto row = [](const FeedReport& report) {
        return report.source == FeedSource::Radiotext ? 1U : 2U;
    };
    for (const FeedReport& report : program.Feeds()) {
        out.push_back({Below({kState, kFeedTable, 1, 2, row(report)}),
                       Text(report.source == FeedSource::Radiotext ? "radiotext" : "dynamic_ps")});
    }
    for (const FeedReport& report : program.Feeds()) {
        const auto changed = program.FeedTextChanged(report.source);
        out.push_back(
            {Below({kState, kFeedTable, 1, 3, row(report)}),
             Integer(Bounded(
                 changed ? std::optional(std::chrono::duration<double>(now - *changed).count())
                         : std::nullopt))});
    }
}

void AlarmTable(std::vector<SnmpObject>& out, const ProgramView& program) {
    std::array<bool, kAlarmKinds> standing{};
    for (const auto& [key, alarm] : program.Alarms().Active()) {
        standing[static_cast<std::size_t>(key.kind)] = true;
    }
    for (std::uint32_t kind = 0; kind < kAlarmKinds; ++kind) {
        out.push_back({Below({kState, kAlarmTable, 1, 2, kind + 1}),
                       Text(AlarmName(static_cast<AlarmKind>(kind)))});
    }
    for (std::uint32_t kind = 0; kind < kAlarmKinds; ++kind) {
        out.push_back(
            {Below({kState, kAlarmTable, 1, 3, kind + 1}), Integer(standing[kind] ? 1 : 0)});
    }
}

}  // namespace

const Oid& VaxoMibRoot() {
    static const Oid root{1, 3, 6, 1, 4, 1, 8072, 9999, 9999, 62106};
    return root;
}

std::vector<SnmpObject> SnmpObjects(const ProgramView& program,
                                    std::chrono::system_clock::time_point now) {
    std::vector<SnmpObject> objects;
    Scalars(objects, program);
    FeedTable(objects, program, now);
    AlarmTable(objects, program);
    // GETNEXT takes the first OID beyond the asked one: the order is the walk's.
    std::sort(objects.begin(), objects.end(),
              [](const SnmpObject& a, const SnmpObject& b) { return a.oid < b.oid; });
    return objects;
}

const SnmpObject* FindObject(const std::vector<SnmpObject>& objects,
                             std::span<const std::uint32_t> oid) {
    const auto found = std::find_if(objects.begin(), objects.end(), [&](const SnmpObject& object) {
        return std::equal(object.oid.begin(), object.oid.end(), oid.begin(), oid.end());
    });
    return found == objects.end() ? nullptr : &*found;
}

const SnmpObject* NextObject(const std::vector<SnmpObject>& objects,
                             std::span<const std::uint32_t> oid) {
    const auto found = std::find_if(objects.begin(), objects.end(), [&](const SnmpObject& object) {
        return std::lexicographical_compare(oid.begin(), oid.end(), object.oid.begin(),
                                            object.oid.end());
    });
    return found == objects.end() ? nullptr : &*found;
}

SnmpNotification NotificationOf(const AlarmEntry& entry, const std::string& station) {
    const std::uint32_t trap = entry.what == AlarmEntry::What::Cleared ? 2 : 1;
    return {Below({kNotifications, trap}),
            {{Below({kNotifyObjects, 1, 0}), Text(AlarmId(entry.key))},
             {Below({kNotifyObjects, 2, 0}), Text(DescribeAlarmEntry(entry))},
             {Below({kNotifyObjects, 3, 0}), Text(station)},
             {Below({kNotifyObjects, 4, 0}), Text(UtcStamp(entry.at))}}};
}

}  // namespace vaxo
