// The subagent on net-snmp's agent library, which keeps its state in
// globals: one subagent per process, all of it on the subagent's thread.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <thread>

// clang-format off
#include <net-snmp/net-snmp-config.h>
#include <net-snmp/net-snmp-includes.h>
#include <net-snmp/agent/net-snmp-agent-includes.h>
#include <net-snmp/library/large_fd_set.h>
// clang-format on

#include "base/mutex.h"
#include "snmp/agentx_subagent.h"

namespace vaxo {

struct AgentxSubagent::Shared {
    std::string socket;
    Fetch fetch;
    Log log;
    int wakeRead = -1;
    int wakeWrite = -1;
    std::atomic<bool> stopping = false;
    Mutex mutex;
    std::condition_variable_any answered;
    std::deque<SnmpNotification> notifications GUARDED_BY(mutex);
    std::optional<Objects> answer GUARDED_BY(mutex);
    std::uint64_t asked GUARDED_BY(mutex) = 0;
    std::weak_ptr<Shared> self;
    std::thread thread;

    void Wake() const {
        const char byte = 1;
        // A full pipe wakes the thread as well as one more byte would.
        const ssize_t written = ::write(wakeWrite, &byte, 1);
        static_cast<void>(written);
    }
    std::optional<Objects> FetchFromLoop();
    void Run();
    void SendQueuedNotifications();
};

namespace {

AgentxSubagent::Shared* running = nullptr;  // the one subagent's, read on its thread

std::vector<oid> NetSnmpOid(const Oid& arcs) {
    return {arcs.begin(), arcs.end()};
}

void SetValue(netsnmp_variable_list* variable, const SnmpValue& value) {
    switch (value.type) {
        case SnmpValue::Type::Integer32: {
            const long number = static_cast<long>(value.number);
            snmp_set_var_typed_value(variable, ASN_INTEGER, &number, sizeof number);
            return;
        }
        case SnmpValue::Type::Unsigned32:
        case SnmpValue::Type::Gauge32: {
            const auto number = static_cast<unsigned long>(value.number);
            snmp_set_var_typed_value(variable, ASN_GAUGE, &number, sizeof number);
            return;
        }
        case SnmpValue::Type::Counter64: {
            const auto number = static_cast<std::uint64_t>(value.number);
            counter64 wide{};
            wide.high = static_cast<unsigned long>(number >> 32U);
            wide.low = static_cast<unsigned long>(number & 0xFFFFFFFFU);
            snmp_set_var_typed_value(variable, ASN_COUNTER64, &wide, sizeof wide);
            return;
        }
        case SnmpValue::Type::Text:
            snmp_set_var_typed_value(variable, ASN_OCTET_STR, value.text.data(), value.text.size());
            return;
    }
}

void Answer(netsnmp_agent_request_info* info, netsnmp_request_info* request,
            const AgentxSubagent::Objects& objects) {
    netsnmp_variable_list* variable = request->requestvb;
    const std::vector<std::uint32_t> name(variable->name, variable->name + variable->name_length);
    if (info->mode == MODE_GET) {
        if (const SnmpObject* object = FindObject(objects, name)) {
            SetValue(variable, object->value);
        } else {
            netsnmp_set_request_error(info, request, SNMP_NOSUCHOBJECT);
        }
        return;
    }
    const SnmpObject* object = request->inclusive ? FindObject(objects, name) : nullptr;
    if (!object) {
        object = NextObject(objects, name);
    }
    if (object) {
        const auto full = NetSnmpOid(object->oid);
        snmp_set_var_objid(variable, full.data(), full.size());
        SetValue(variable, object->value);
    } else {
        netsnmp_set_request_error(info, request, SNMP_ENDOFMIBVIEW);
    }
}

int Handle(netsnmp_mib_handler* /*handler*/, netsnmp_handler_registration* /*registration*/,
           netsnmp_agent_request_info* info, netsnmp_request_info* requests) {
    if (info->mode != MODE_GET && info->mode != MODE_GETNEXT) {
        netsnmp_request_set_error_all(requests, SNMP_ERR_NOTWRITABLE);
        return SNMP_ERR_NOERROR;
    }
    const auto objects = running->FetchFromLoop();
    for (netsnmp_request_info* request = requests; request; request = request->next) {
        if (!objects) {
            netsnmp_set_request_error(info, request, SNMP_ERR_GENERR);
        } else {
            Answer(info, request, *objects);
        }
    }
    return SNMP_ERR_NOERROR;
}

// Without MIB files (it reads none) net-snmp tells of each module it would
// have loaded; the rest, down to its notices of attaching, goes to the log.
bool Noise(const std::string& text) {
    return text.starts_with("Cannot find module") || text.starts_with("MIB search path");
}

int HeardLog(int /*major*/, int /*minor*/, void* message, void* /*client*/) {
    const auto* line = static_cast<const snmp_log_message*>(message);
    if (line->priority > LOG_INFO || !running) {
        return 0;
    }
    std::string text = line->msg ? line->msg : "";
    while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) {
        text.pop_back();
    }
    if (!text.empty() && !Noise(text)) {
        running->log("snmp: " + text);
    }
    return 0;
}

void Configure(const std::string& socket) {
    netsnmp_ds_set_boolean(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_ROLE, 1);
    netsnmp_ds_set_string(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_X_SOCKET, socket.c_str());
    // The program's options say it all: no snmp.conf, no state of its own
    // under /var/lib/snmp, and no SIGALRM in a process that has a loop.
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_READ_CONFIGS, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_LOAD, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DISABLE_PERSISTENT_SAVE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_DONT_PERSIST_STATE, 1);
    netsnmp_ds_set_boolean(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_ALARM_DONT_USE_SIG, 1);
    // The subagent names every object by number: it reads no MIB files.
    netsnmp_ds_set_string(NETSNMP_DS_LIBRARY_ID, NETSNMP_DS_LIB_MIBDIRS, "");
    snmp_enable_calllog();
    snmp_register_callback(SNMP_CALLBACK_LIBRARY, SNMP_CALLBACK_LOGGING, HeardLog, nullptr);
}

bool RegisterMib() {
    const auto root = NetSnmpOid(VaxoMibRoot());
    netsnmp_handler_registration* registration = netsnmp_create_handler_registration(
        "vaxo", Handle, root.data(), root.size(), HANDLER_CAN_RONLY);
    return registration && netsnmp_register_handler(registration) == MIB_REGISTERED_OK;
}

netsnmp_variable_list* Variables(const SnmpNotification& notification) {
    static const oid kTrapOid[] = {1, 3, 6, 1, 6, 3, 1, 1, 4, 1, 0};  // snmpTrapOID.0
    netsnmp_variable_list* list = nullptr;
    const auto trap = NetSnmpOid(notification.trap);
    snmp_varlist_add_variable(&list, kTrapOid, OID_LENGTH(kTrapOid), ASN_OBJECT_ID, trap.data(),
                              trap.size() * sizeof(oid));
    for (const SnmpObject& object : notification.objects) {
        const auto name = NetSnmpOid(object.oid);
        netsnmp_variable_list* added =
            snmp_varlist_add_variable(&list, name.data(), name.size(), ASN_NULL, nullptr, 0);
        if (added) {
            SetValue(added, object.value);
        }
    }
    return list;
}

}  // namespace

std::optional<AgentxSubagent::Objects> AgentxSubagent::Shared::FetchFromLoop() {
    std::uint64_t ask = 0;
    {
        const MutexLock lock(mutex);
        answer.reset();
        ask = ++asked;
    }
    fetch([weak = self, ask](Objects objects) {
        const auto shared = weak.lock();
        if (!shared) {
            return;
        }
        {
            const MutexLock lock(shared->mutex);
            if (shared->asked != ask) {
                return;  // came after its request gave up
            }
            shared->answer = std::move(objects);
        }
        shared->answered.notify_all();
    });
    const MutexLock lock(mutex);
    answered.wait_for(mutex, kFetchTime,
                      [this]() REQUIRES(mutex) { return answer.has_value() || stopping.load(); });
    ++asked;
    return std::exchange(answer, std::nullopt);
}

void AgentxSubagent::Shared::SendQueuedNotifications() {
    std::deque<SnmpNotification> queued;
    {
        const MutexLock lock(mutex);
        queued.swap(notifications);
    }
    for (const SnmpNotification& notification : queued) {
        netsnmp_variable_list* variables = Variables(notification);
        send_v2trap(variables);
        snmp_free_varbind(variables);
    }
}

void AgentxSubagent::Shared::Run() {
    running = this;
    Configure(socket);
    if (init_agent("vaxo") != 0 || !RegisterMib()) {
        log("snmp: the subagent cannot start");
        running = nullptr;
        return;
    }
    // Set after init_agent, which sets it to net-snmp's own default.
    netsnmp_ds_set_int(NETSNMP_DS_APPLICATION_ID, NETSNMP_DS_AGENT_AGENTX_PING_INTERVAL,
                       static_cast<int>(kPingInterval.count()));
    init_snmp("vaxo");
    netsnmp_large_fd_set ready;
    netsnmp_large_fd_set_init(&ready, FD_SETSIZE);
    while (!stopping) {
        int count = 0;
        int block = 1;  // until net-snmp names a time of its own: else it would spin
        timeval timeout{};
        NETSNMP_LARGE_FD_ZERO(&ready);
        snmp_select_info2(&count, &ready, &timeout, &block);
        NETSNMP_LARGE_FD_SET(wakeRead, &ready);
        count = std::max(count, wakeRead + 1);
        const int seen = netsnmp_large_fd_set_select(count, &ready, nullptr, nullptr,
                                                     block ? nullptr : &timeout);
        if (seen < 0 && errno != EINTR) {
            log(std::string("snmp: the subagent stops: ") + std::strerror(errno));
            break;
        }
        if (seen > 0 && NETSNMP_LARGE_FD_ISSET(wakeRead, &ready)) {
            char drained[64];
            while (::read(wakeRead, drained, sizeof drained) > 0) {
            }
        }
        if (seen > 0) {
            snmp_read2(&ready);
        } else if (seen == 0) {
            snmp_timeout();
        }
        run_alarms();
        netsnmp_check_outstanding_agent_requests();
        SendQueuedNotifications();
    }
    netsnmp_large_fd_set_cleanup(&ready);
    snmp_shutdown("vaxo");
    running = nullptr;
}

bool SnmpBuiltIn() {
    return true;
}

AgentxSubagent::AgentxSubagent(std::string socket, Fetch fetch, Log log)
    : shared_(std::make_shared<Shared>()) {
    shared_->socket = std::move(socket);
    shared_->fetch = std::move(fetch);
    shared_->log = std::move(log);
    shared_->self = shared_;
    int ends[2] = {-1, -1};
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) != 0) {
        shared_->log(std::string("snmp: the subagent cannot start: ") + std::strerror(errno));
        return;
    }
    shared_->wakeRead = ends[0];
    shared_->wakeWrite = ends[1];
    shared_->thread = std::thread([shared = shared_] { shared->Run(); });
}

AgentxSubagent::~AgentxSubagent() {
    Stop();
}

void AgentxSubagent::Notify(SnmpNotification notification) {
    {
        const MutexLock lock(shared_->mutex);
        shared_->notifications.push_back(std::move(notification));
    }
    shared_->Wake();
}

void AgentxSubagent::Stop() {
    if (!shared_->thread.joinable()) {
        return;
    }
    {
        const MutexLock lock(shared_->mutex);
        shared_->stopping = true;
    }
    shared_->answered.notify_all();
    shared_->Wake();
    shared_->thread.join();
    ::close(shared_->wakeRead);
    ::close(shared_->wakeWrite);
}

}  // namespace vaxo
