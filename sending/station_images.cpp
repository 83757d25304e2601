#include "sending/station_images.h"

#include <utility>

#include "base/local_time.h"

namespace vaxo {

const EncoderImage& StationImages::Of(const RdsParameterSet& set, int textAbFlag,
                                      const ImageClock& clock) {
    Key key{set, textAbFlag, DpsDateText(clock.now), DpsTimeText(clock.now),
            clock.decimalSeparator};
    if (newest_ && newest_->key == key) {
        return newest_->image;
    }
    if (before_ && before_->key == key) {
        std::swap(newest_, before_);
        return newest_->image;
    }
    Entry entry{std::move(key), {}};
    EncodedFields fields;
    BuildEncoderImage(set, textAbFlag, clock, fields, entry.image);
    ++built_;
    before_ = std::move(newest_);
    newest_ = std::move(entry);
    return newest_->image;
}

}  // namespace vaxo
