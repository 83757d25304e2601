#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "alarms/alarm_set.h"
#include "app/program_view.h"

namespace vaxo {

using Oid = std::vector<std::uint32_t>;

// Where VAXO-MIB sits: netSnmpPlaypen.62106 (1.3.6.1.4.1.8072.9999.9999.62106).
const Oid& VaxoMibRoot();

// A value as SNMP carries it.
struct SnmpValue {
    enum class Type { Integer32, Unsigned32, Gauge32, Counter64, Text };
    Type type = Type::Integer32;
    std::int64_t number = 0;  // every type but Text
    std::string text = {};

    bool operator==(const SnmpValue&) const = default;
};

struct SnmpObject {
    Oid oid;  // the whole OID, instance included
    SnmpValue value;
};

// The program's state as VAXO-MIB's objects, in the order of their OIDs:
// the values /metrics answers, in SNMP's types (a value not known there,
// NaN, is -1 here; the years of wear in hundredths).
std::vector<SnmpObject> SnmpObjects(const ProgramView& program,
                                    std::chrono::system_clock::time_point now);

// The object of exactly that OID, and the first after it (GETNEXT); null
// when there is none.
const SnmpObject* FindObject(const std::vector<SnmpObject>& objects,
                             std::span<const std::uint32_t> oid);
const SnmpObject* NextObject(const std::vector<SnmpObject>& objects,
                             std::span<const std::uint32_t> oid);

// vaxoAlarmRaised or vaxoAlarmCleared with its objects: the alarm's id, the
// text a person reads, the station and the moment.
struct SnmpNotification {
    Oid trap;
    std::vector<SnmpObject> objects;
};
SnmpNotification NotificationOf(const AlarmEntry& entry, const std::string& station);

}  // namespace vaxo
