#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "encoding/encoder_image.h"
#include "record/rds_parameter_set.h"

namespace vaxo {

// The encoder images of the station, each built once and shared by whoever
// asks for it: the preview, the budget of writes, the send. An image is
// built again only when the station differs, or the send's A/B flag, or the
// date or the time of day that the dynamic PS markers show. The last two
// are kept, so that a change's image before and after it are both at hand.
class StationImages {
  public:
    const EncoderImage& Of(const RdsParameterSet& set, int textAbFlag, const ImageClock& clock);
    // How many images were built, for the curious and the tests.
    std::uint64_t Built() const { return built_; }

  private:
    struct Key {
        StationContent station;
        int textAbFlag = 0;
        std::string date, time;  // as the dynamic PS markers write them
        char decimalSeparator = '.';
        bool operator==(const Key&) const = default;
    };
    struct Entry {
        Key key;
        EncoderImage image;
    };
    std::optional<Entry> newest_, before_;
    std::uint64_t built_ = 0;
};

}  // namespace vaxo
