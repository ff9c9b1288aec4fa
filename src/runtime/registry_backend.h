#pragma once

// What TRegistry needs of a platform's registry; each platform builds one backend.

#include "registry.h"

#include <cstddef>
#include <memory>
#include <string>

namespace zj {

// An open key.
class TRegKeyHandle {
public:
    enum class Query { Found, Missing, Failed };
    virtual ~TRegKeyHandle() = default;
    // A backend that can tell where a value is stored may refuse one longer
    // than maxSize bytes in its own words; TRegistry checks the size anyway.
    virtual Query Get(const std::string& name, TRegValue& value, std::size_t maxSize) = 0;
    virtual bool Set(const std::string& name, const TRegValue& value) = 0;
};

// Opens key (one or more levels; "" opens the start again) below parent, or
// below root when parent is null. Null when the key cannot be opened.
std::unique_ptr<TRegKeyHandle> OpenRegistryKey(TRootKey root, TRegKeyHandle* parent,
                                               const std::string& key, bool canCreate);

} // namespace zj
