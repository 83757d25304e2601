#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace vaxo {

// A byte string that never grows past Limit bytes: whoever writes it, the
// excess is cut off. Leading and trailing spaces are kept as they are.
template <std::size_t Limit>
class BoundedText {
  public:
    static constexpr std::size_t kLimit = Limit;

    BoundedText() = default;
    BoundedText(std::string_view text) { assign(text); }  // NOLINT: implicit by design
    BoundedText& operator=(std::string_view text) {
        assign(text);
        return *this;
    }

    void assign(std::string_view text) { value_ = std::string(text.substr(0, Limit)); }
    const std::string& str() const { return value_; }
    operator const std::string&() const { return value_; }  // NOLINT: implicit by design
    bool empty() const { return value_.empty(); }
    std::size_t size() const { return value_.size(); }

    friend bool operator==(const BoundedText& a, const BoundedText& b) = default;
    friend bool operator==(const BoundedText& a, std::string_view b) { return a.value_ == b; }

  private:
    std::string value_;
};

}  // namespace vaxo
