#include "record/rds_parameter_set.h"

#include "record/field_schema.h"

namespace vaxo {

std::string DecoderIdText(const DecoderId& di) {
    std::string text;
    for (int flag = 3; flag >= 0; --flag) {
        text += di[static_cast<std::size_t>(flag)] ? '1' : '0';
    }
    return text;
}

void PiText::assign(std::string_view text) {
    std::string upper(text.substr(0, kLimit));
    for (char& c : upper) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    BoundedText<4>::assign(upper);
}

void RdsParameterSet::ResetStation() {
    ForEachStationField([this](const StationField& field) { field.reset(*this); });
    serverTexts.clear();
}

const BoundedText<kRadiotextLength>* RdsParameterSet::SelectedRadiotext() const {
    switch (SELRT) {
        case 1:
            return &RT;
        case 2:
            return &RT2;
        case 3:
            return &RT3;
        case 4:
            return &RT4;
        default:
            return nullptr;
    }
}

const std::string& RdsParameterSet::ActualRT() const {
    static const std::string kNone;
    const BoundedText<kRadiotextLength>* selected = SelectedRadiotext();
    return selected ? selected->str() : kNone;
}

}  // namespace vaxo
