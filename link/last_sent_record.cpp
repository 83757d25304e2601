#include "link/last_sent_record.h"

#include "record/station_fields.h"

namespace vaxo {

// The station file's forms where a key is shared; the current radiotext, the
// texts the dynamic PS table got and the A/B flag of this send are its own.
LastSentRecord RecordOfSend(const RdsParameterSet& sent, const EncoderImage& image,
                            std::uint32_t calibrationCount, long long milliseconds) {
    LastSentRecord record;
    std::size_t line = 0;
    record[line++] = StationFieldLine(sent, "PS");
    record[line++] = "RT=" + sent.ActualRT();
    for (std::size_t k = 0; k < 8; ++k) {
        record[line++] =
            "DPS" + std::to_string(k + 1) + "=" + (sent.ENDPS ? image.SentDpsTexts[k] : "");
    }
    for (const char* key : {"PTY", "MS", "TP", "TA", "PI", "DI", "AF1", "AF2", "AF3", "AF4", "AF5",
                            "AF6", "AF7", "DPSP"}) {
        record[line++] = StationFieldLine(sent, key);
    }
    record[line++] = std::string("RTAB=") + (sent.TextAbFlag == 1 ? "1" : "0");
    record[line++] = StationFieldLine(sent, "MBS");
    record[line++] = "CPUSPEED=" + std::to_string(calibrationCount);
    record[line++] = "SENDTIME=" + std::to_string(milliseconds) + " ms";
    return record;
}

}  // namespace vaxo
