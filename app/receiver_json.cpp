#include "app/receiver_json.h"

#include <cstdio>

#include "encoding/receiver_checks.h"

namespace vaxo {
namespace {

using nlohmann::json;

template <typename T>
json OrNull(const std::optional<T>& value) {
    return value ? json(*value) : json(nullptr);
}

json Flag(const std::optional<bool>& on) {
    return on ? json(*on ? 1 : 0) : json(nullptr);
}

}  // namespace

json ReceiverJson(const ReceiverView& view) {
    json out;
    if (view.pi) {
        char pi[8];
        std::snprintf(pi, sizeof pi, "%04X", static_cast<unsigned>(*view.pi));
        out["pi"] = pi;
    } else {
        out["pi"] = nullptr;
    }
    out["ps"] = view.ps.Shown();
    if (view.dps) {
        json texts = json::array();
        for (const ReceivedText& text : view.dps->texts) {
            texts.push_back(text.Shown());
        }
        out["dps"] = {{"repeat", view.dps->repeat},
                      {"step_seconds", view.dps->stepSeconds},
                      {"texts", texts}};
    } else {
        out["dps"] = nullptr;
    }
    out["rt"] = view.rt ? json(view.rt->Shown()) : json(nullptr);
    out["ab"] = OrNull(view.ab);
    out["pty"] = OrNull(view.pty);
    out["pty_name"] = view.pty ? json(RdsProgrammeTypeName(*view.pty)) : json(nullptr);
    out["pty_name_rbds"] = view.pty ? json(RbdsProgrammeTypeName(*view.pty)) : json(nullptr);
    out["tp"] = Flag(view.tp);
    out["ta"] = Flag(view.ta);
    out["ms"] = view.music ? json(*view.music ? "music" : "speech") : json(nullptr);
    out["di"] = {{"stereo", view.di[0].value_or(false)},
                 {"artificial_head", view.di[1].value_or(false)},
                 {"compressed", view.di[2].value_or(false)},
                 {"dynamic_pty", view.di[3].value_or(false)}};
    json af = json::array();
    for (const int code : view.afCodes) {
        if (code >= 1 && code <= 204) {
            af.push_back(AfTenthsOfMhz(code) / 10.0);
        }
    }
    out["af"] = af;
    out["both_banks"] = view.bothBanks;
    out["blocks"] = {{"total", view.totalBlocks}, {"bad", view.badBlocks.size()}};
    out["warnings"] = ReceiverWarnings(view);
    return out;
}

}  // namespace vaxo
