#include "link/last_sent_record.h"

#include "record/field_schema.h"

namespace vaxo {

// The station file's forms where a key is shared; the current radiotext, the
// texts the dynamic PS table got and the A/B flag of this send are its own.
LastSentRecord RecordOfSend(const RdsParameterSet& sent, const EncoderImage& image,
                            std::uint32_t calibrationCount, long long milliseconds) {
    LastSentRecord record;
    std::size_t line = 0;
    record[line++] = FieldLine(sent, FieldId::PS);
    record[line++] = "RT=" + sent.ActualRT();
    for (std::size_t k = 0; k < kDpsCount; ++k) {
        record[line++] =
            "DPS" + std::to_string(k + 1) + "=" + (sent.ENDPS ? image.SentDpsTexts[k] : "");
    }
    using F = FieldId;
    for (const FieldId field : {F::PTY, F::MS, F::TP, F::TA, F::PI, F::DI, F::AF1, F::AF2, F::AF3,
                                F::AF4, F::AF5, F::AF6, F::AF7, F::DPSP}) {
        record[line++] = FieldLine(sent, field);
    }
    record[line++] = std::string("RTAB=") + (image.TextAbFlag == 1 ? "1" : "0");
    record[line++] = FieldLine(sent, FieldId::MBS);
    record[line++] = "CPUSPEED=" + std::to_string(calibrationCount);
    record[line++] = "SENDTIME=" + std::to_string(milliseconds) + " ms";
    return record;
}

}  // namespace vaxo
