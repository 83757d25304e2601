#pragma once

#include <bitset>
#include <initializer_list>
#include <string>
#include <vector>

#include "record/field_id.h"

namespace vaxo {

// Some of the fields: those a change touched, those of one scope.
class FieldSet {
  public:
    FieldSet() = default;
    FieldSet(std::initializer_list<FieldId> ids) {
        for (const FieldId id : ids) {
            Add(id);
        }
    }

    void Add(FieldId id) { bits_.set(IndexOf(id)); }
    void Add(const FieldSet& other) { bits_ |= other.bits_; }
    bool Has(FieldId id) const { return bits_.test(IndexOf(id)); }
    bool HasAny(const FieldSet& other) const { return (bits_ & other.bits_).any(); }
    bool Empty() const { return bits_.none(); }
    std::size_t Count() const { return bits_.count(); }

    // In the schema's order.
    template <typename Visit>
    void ForEach(Visit visit) const {
        for (std::size_t i = 0; i < kFieldCount; ++i) {
            if (bits_.test(i)) {
                visit(static_cast<FieldId>(i));
            }
        }
    }
    // The fields' keys in the schema's order ("PS", "RT2"), for the log.
    std::vector<std::string> Keys() const;

    bool operator==(const FieldSet&) const = default;

  private:
    std::bitset<kFieldCount> bits_;
};

}  // namespace vaxo
