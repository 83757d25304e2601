#include "encoding/text_ab.h"

namespace vaxo {

void TextAb::Update(const RdsParameterSet& set) {
    const std::string& current = set.ActualRT();
    if (current == lastSent) {
        return;
    }
    if (set.ABSW) {
        flag ^= 1;
    }
    lastSent = current;
}

}  // namespace vaxo
