#include "record/field_set.h"

#include "record/field_schema.h"

namespace vaxo {

std::vector<std::string> FieldSet::Keys() const {
    std::vector<std::string> keys;
    ForEach([&](FieldId id) { keys.emplace_back(Field(id).key); });
    return keys;
}

}  // namespace vaxo
